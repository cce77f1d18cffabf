# The macOS payload's own parts, beside the programs, templates and launchd
# daemons installed above: the rotation of the logs; the installer's scripts,
# which lay out the agent's folders and keep its settings as the Debian
# package's post-install step does, give each job this machine's time, and stop
# and load the daemons; and the uninstaller. scripts/build-macos.sh packs them;
# make-pkg.sh turns them into a .pkg. Configured on every system (the tests run
# the scripts here), installed on macOS only.
set(BRIM_MACOS_STAGE ${CMAKE_CURRENT_BINARY_DIR}/macos)
set(BRIM_MACOS_TEMPLATE_DIR ${BRIM_INSTALL_DIR}/templates)
set(BRIM_PACKAGE_ID "com.brimvault.brim-asset")
set(BRIM_LAUNCHD_LABELS "")
foreach(job ${BRIM_LAUNCHD_JOBS})
  get_filename_component(name ${job} NAME)
  string(REGEX REPLACE "\\.plist$" "" label ${name})
  string(APPEND BRIM_LAUNCHD_LABELS " ${label}")
endforeach()
string(STRIP "${BRIM_LAUNCHD_LABELS}" BRIM_LAUNCHD_LABELS)

set(brim_executable OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
configure_file(${CMAKE_CURRENT_LIST_DIR}/newsyslog.conf.in ${BRIM_MACOS_STAGE}/brim-asset.conf @ONLY)
foreach(script preinstall postinstall load-jobs)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${script}.in ${BRIM_MACOS_STAGE}/scripts/${script} @ONLY
                 FILE_PERMISSIONS ${brim_executable})
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/uninstall.in ${BRIM_MACOS_STAGE}/brim_asset_uninstall @ONLY
               FILE_PERMISSIONS ${brim_executable})
if(APPLE)
  install(FILES ${BRIM_MACOS_STAGE}/brim-asset.conf DESTINATION /private/etc/newsyslog.d)
  install(PROGRAMS ${BRIM_MACOS_STAGE}/brim_asset_uninstall DESTINATION ${BRIM_INSTALL_DIR}/bin)
endif()
