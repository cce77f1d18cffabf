# The macOS payload's own parts, beside the programs, templates and launchd
# daemons installed above: the rotation of the logs, and the installer's
# scripts, which lay out the agent's folders and keep its settings as the
# Debian package's post-install step does, and stop and load the daemons.
# scripts/build-macos.sh packs them; make-pkg.sh turns them into a .pkg.
set(BRIM_MACOS_STAGE ${CMAKE_CURRENT_BINARY_DIR}/macos)
set(BRIM_TEMPLATE_DIR ${CMAKE_INSTALL_PREFIX}/share/brim_asset)
set(BRIM_LAUNCHD_LABELS "")
foreach(job ${BRIM_LAUNCHD_JOBS})
  get_filename_component(name ${job} NAME)
  string(REGEX REPLACE "\\.plist$" "" label ${name})
  string(APPEND BRIM_LAUNCHD_LABELS " ${label}")
endforeach()
string(STRIP "${BRIM_LAUNCHD_LABELS}" BRIM_LAUNCHD_LABELS)

configure_file(${CMAKE_CURRENT_LIST_DIR}/newsyslog.conf.in ${BRIM_MACOS_STAGE}/brim-asset.conf @ONLY)
install(FILES ${BRIM_MACOS_STAGE}/brim-asset.conf DESTINATION /private/etc/newsyslog.d)
foreach(script preinstall postinstall)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${script}.in ${BRIM_MACOS_STAGE}/scripts/${script} @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                  WORLD_EXECUTE)
endforeach()
