# What `cmake --install` puts under the prefix: the programs, the control library with the
# component runtime, the public headers, and the desktop player's menu entry, MIME type and icon.
include(GNUInstallDirs)

set(_programs kyvtool kyvstation kyvplayer_app)
set_target_properties(${_programs} PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
set_target_properties(kyvplayer kyvcom PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS ${_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS kyvplayer kyvcom LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES include/kyv/kyvcom.h include/kyv/kyvplayer.h include/kyv/kyvplayerhost.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kyv)
install(FILES data/kyvplayer.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/kyvplayer-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
  RENAME kyvplayer.xml)
install(FILES data/kyvplayer.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
