# What `cmake --install` puts where a lab's IT expects it: the program and its tools in bin, the
# pictures, the example settings and the example reports in share/pcstation, a desktop entry and its
# icon. The installed program finds its pictures in share/pcstation/pictures beside bin.
include(GNUInstallDirs)
install(TARGETS pcstation labdb counter-sim pcreport RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/pictures/ DESTINATION ${CMAKE_INSTALL_DATADIR}/pcstation/pictures
        OPTIONAL PATTERN "*.stamp" EXCLUDE)
install(FILES ${CMAKE_SOURCE_DIR}/examples/settings.txt ${CMAKE_SOURCE_DIR}/examples/reports.txt
        DESTINATION ${CMAKE_INSTALL_DATADIR}/pcstation)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/app/share/pcstation.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/app/share/pcstation.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
