# Lays out the agent's install directory around the installed executables.
# Run at install time with BRIM_DIR (the directory, DESTDIR included) and
# BRIM_TEMPLATES (where settings.plist and webposts.plist templates are).
# The settings file belongs to the agent once it exists: the registration tool
# writes the machine's id into it, so an existing one is never replaced.
foreach(sub config temp log data datapost)
  file(MAKE_DIRECTORY "${BRIM_DIR}/${sub}")
endforeach()
foreach(name settings.plist webposts.plist)
  if(EXISTS "${BRIM_DIR}/config/${name}")
    message(STATUS "Keeping: ${BRIM_DIR}/config/${name}")
  else()
    message(STATUS "Installing: ${BRIM_DIR}/config/${name}")
    file(COPY "${BRIM_TEMPLATES}/${name}" DESTINATION "${BRIM_DIR}/config")
  endif()
endforeach()
