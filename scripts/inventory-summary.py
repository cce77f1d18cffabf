#!/usr/bin/env python3
"""Prints a short summary of inventory data-post files: the document's type and
registration id, then each category with its number of records."""
import sys
import xml.etree.ElementTree as ET

for path in sys.argv[1:]:
    print(path)
    try:
        root = ET.parse(path).getroot()
    except (OSError, ET.ParseError) as error:
        print("  unreadable: %s" % error)
        continue
    print("  %s, type %s, regid %s, scanned %s" % (root.tag, root.findtext("type"), root.findtext("regid"),
                                                  root.findtext("scandttime")))
    for category in root.findall("fn"):
        records = category.findall("dtl")
        # Records nested one level down (disk volumes, displays, USB devices, location services).
        nested = sum(len([c for c in record if c.get("ID") is not None]) for record in records)
        extra = " (+%d nested)" % nested if nested else ""
        print("  %-18s %4d record%s%s" % (category.findtext("fnname") or "(unnamed)", len(records), "" if len(records) == 1 else "s",
                                          extra))
