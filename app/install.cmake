# What `cmake --install` (and the Debian package) puts where a lab's IT expects it: the program and
# its tools in bin, the pictures, the example settings and reports and an example autostart entry in
# share/pcstation, a desktop entry and its icon, a manual page for each program. The installed program
# finds its pictures in share/pcstation/pictures beside bin.
include(GNUInstallDirs)
# Installing (and packaging) takes what is built, without building the tests first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(PCS_PROGRAMS pcstation labdb counter-sim pcreport)
install(TARGETS ${PCS_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/pictures/ DESTINATION ${CMAKE_INSTALL_DATADIR}/pcstation/pictures
        OPTIONAL PATTERN "*.stamp" EXCLUDE)
install(FILES ${CMAKE_SOURCE_DIR}/examples/settings.txt ${CMAKE_SOURCE_DIR}/examples/reports.txt
        ${CMAKE_SOURCE_DIR}/app/share/pcstation-kiosk.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/pcstation)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/app/share/pcstation.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/app/share/pcstation.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Manual pages made from each program's --help and --version when the programs are built, compressed
# as Debian keeps them. Without help2man (scripts/setup package installs it) there are none.
find_program(HELP2MAN help2man)
if(HELP2MAN)
    set(pages)
    set(names_pcstation "the bench program of the particle-count station")
    set(names_labdb "create, seed and administer the station's embedded lab database")
    set(names_counter-sim "particle counter simulator on a pseudo-terminal")
    set(names_pcreport "code particle-counter report lines as JSON lines")
    foreach(program ${PCS_PROGRAMS})
        set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
        add_custom_command(OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
            COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section 1 "--name=${names_${program}}"
                    --output ${page} $<TARGET_FILE:${program}>
            COMMAND gzip -9nf ${page}
            DEPENDS ${program} VERBATIM)
        list(APPEND pages ${page}.gz)
    endforeach()
    add_custom_target(man_pages ALL DEPENDS ${pages})
    install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The Debian package (scripts/package): its dependencies are read from the programs by dpkg-shlibdeps;
# only what no program links is named here: Qt's platform plugins, which draw on the screen.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pcstation)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Particle-count station developers <pcstation@lab.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "bench program of an oil lab's particle-count station")
# The extended description; CPack indents it and marks its empty line as Debian asks.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A technician logs in on a touch screen, takes racks of sample bottles that the
lab's tracking database routes to particle counting, shakes the samples in a
30-slot bath and runs each one through an automatic particle counter on a
serial port. The station turns the counter's report into ISO 4406 codes and
writes results to the lab database (ODBC, or an embedded SQLite database).

Tools: labdb (the embedded lab database), counter-sim (a particle counter on a
pseudo-terminal) and pcreport (codes report lines).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-play, fonts-liberation2, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://lab.example.org/pcstation")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Debian's copyright and changelog files, which every package carries in its documentation folder.
set(PCS_DEB_DOC ${CMAKE_BINARY_DIR}/deb-doc)
configure_file(${CMAKE_SOURCE_DIR}/app/share/copyright ${PCS_DEB_DOC}/copyright COPYONLY)
string(TIMESTAMP PCS_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${PCS_DEB_DOC}/changelog
     "pcstation (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
     "  * Built from the project's sources.\n\n"
     " -- ${CPACK_PACKAGE_CONTACT}  ${PCS_CHANGELOG_DATE}\n")
execute_process(COMMAND gzip -9nf ${PCS_DEB_DOC}/changelog)
install(FILES ${PCS_DEB_DOC}/copyright ${PCS_DEB_DOC}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
include(CPack)
