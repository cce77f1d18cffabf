# Lays out the agent's install directory around the installed executables.
# Run at install time with BRIM_DIR (the directory, DESTDIR included) and
# BRIM_TEMPLATES (where settings.plist and webposts.plist templates are).
# The settings file belongs to the agent once it exists: the registration tool
# writes the machine's id into it, so an existing one is never replaced. Both
# files hold the agent's sites and its encrypted proxy password: root's alone,
# and an earlier install's wider mode is tightened.
foreach(sub config temp log data datapost)
  file(MAKE_DIRECTORY "${BRIM_DIR}/${sub}")
endforeach()
foreach(name settings.plist webposts.plist)
  set(file "${BRIM_DIR}/config/${name}")
  if(IS_SYMLINK "${file}")
    message(STATUS "Left as it is (a link): ${file}")
  elseif(EXISTS "${file}")
    execute_process(COMMAND ls -ldn "${file}" OUTPUT_VARIABLE listed)
    string(SUBSTRING "${listed}" 4 6 others)
    if(NOT others STREQUAL "------")
      file(CHMOD "${file}" PERMISSIONS OWNER_READ OWNER_WRITE)
      message(STATUS "Keeping, now root's alone (0600): ${file}")
    else()
      message(STATUS "Keeping: ${file}")
    endif()
  else()
    message(STATUS "Installing: ${file}")
    file(COPY "${BRIM_TEMPLATES}/${name}" DESTINATION "${BRIM_DIR}/config" FILE_PERMISSIONS OWNER_READ OWNER_WRITE)
  endif()
endforeach()
