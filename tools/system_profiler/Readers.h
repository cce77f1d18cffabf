#pragma once
// One reader per data type: each returns the "_items" list of its report,
// built from the machine under a SystemRoot. A source that is missing gives
// fewer items (or fewer keys), never a failure.
#include <string>
#include <vector>

#include "Report.h"
#include "SystemRoot.h"

namespace profiler {

Node readMemory(const SystemRoot& root);
Node readHardware(const SystemRoot& root);
Node readFirewall(const SystemRoot& root);
Node readDiagnostics(const SystemRoot& root);
Node readPower(const SystemRoot& root);
Node readSerialATA(const SystemRoot& root);
Node readNetworkVolumes(const SystemRoot& root);
Node readCardReaders(const SystemRoot& root);
Node readDiscBurning(const SystemRoot& root);
Node readEthernet(const SystemRoot& root);
Node readNetwork(const SystemRoot& root);
Node readNetworkLocations(const SystemRoot& root);
Node readDisplays(const SystemRoot& root);
Node readThunderbolt(const SystemRoot& root);
Node readSoftware(const SystemRoot& root);
Node readBluetooth(const SystemRoot& root);
Node readApplications(const SystemRoot& root);
Node readUSB(const SystemRoot& root);

// The machine's name for "machine_name": never empty, never holding "/".
std::string machineName(const SystemRoot& root);
// The text form of the network report ("system_profiler SPNetworkDataType").
std::string networkText(const SystemRoot& root);

struct DataType {
  const char* name;    // "SPMemoryDataType"
  const char* parent;  // "_parentDataType" of its report
  Node (*read)(const SystemRoot&);
};
// Every data type answered, in the order "-listDataTypes" prints them.
const std::vector<DataType>& dataTypes();
const DataType* findDataType(const std::string& name);

// The whole XML report of one data type.
std::string reportXml(const DataType& type, const SystemRoot& root);

}  // namespace profiler
