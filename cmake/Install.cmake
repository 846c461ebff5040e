# Installs Quorvane where Linux desktops look for an application: the program in bin/, a launcher
# entry, the icon in the hicolor theme at every size it was drawn for, and AppStream metainfo for
# software centres. The version shown in the launcher entry and the metainfo is project()'s.
#
# The program writes its copy file next to its executable when it can, and into the user's data
# folder when it cannot, so any prefix will do: `cmake --install build --prefix ~/.local` keeps the
# copy in ~/.local/bin, a system-wide install in ~/.local/share/Quorvane.
include(GNUInstallDirs)

# One reverse-DNS id names the launcher entry, the metainfo and the icon.
set(QUORVANE_APP_ID org.quorvane.Quorvane)
get_target_property(QUORVANE_EXECUTABLE quorvane OUTPUT_NAME)
if(NOT QUORVANE_EXECUTABLE)
    set(QUORVANE_EXECUTABLE quorvane)
endif()

set(quorvane_data ${PROJECT_SOURCE_DIR}/data)

# quorvane_gzip(INPUT OUTPUT): OUTPUT is INPUT compressed as Debian wants documentation: -9 for
# size, -n so that the file does not change with the time it was built. The target
# quorvane_docs makes every such file, which the install needs besides the programs.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
add_custom_target(quorvane_docs ALL)
function(quorvane_gzip input output)
    get_filename_component(name ${output} NAME)
    add_custom_command(OUTPUT ${output}
                       COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${input} > ${output}
                       DEPENDS ${input}
                       COMMENT "Compressing ${name}")
    string(MAKE_C_IDENTIFIER "quorvane_gzip_${name}" target)
    add_custom_target(${target} DEPENDS ${output})
    add_dependencies(quorvane_docs ${target})
endfunction()
configure_file(${quorvane_data}/${QUORVANE_APP_ID}.desktop.in
               ${PROJECT_BINARY_DIR}/data/${QUORVANE_APP_ID}.desktop @ONLY)
configure_file(${quorvane_data}/${QUORVANE_APP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/data/${QUORVANE_APP_ID}.metainfo.xml @ONLY)

install(TARGETS quorvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
configure_file(${quorvane_data}/quorvane.1.in ${PROJECT_BINARY_DIR}/data/quorvane.1 @ONLY)
quorvane_gzip(${PROJECT_BINARY_DIR}/data/quorvane.1 ${PROJECT_BINARY_DIR}/data/quorvane.1.gz)
install(FILES ${PROJECT_BINARY_DIR}/data/quorvane.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The helpers, where the program looks for them. One reads pages under CPU and memory limits; the
# other runs the web engine, away from the network and the program.
install(TARGETS quorvane-page-reader quorvane-engine RUNTIME DESTINATION ${QUORVANE_HELPER_DIR})
install(FILES ${PROJECT_BINARY_DIR}/data/${QUORVANE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_BINARY_DIR}/data/${QUORVANE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The PNGs are rendered once by data/icons/render.sh and kept in the tree, so building needs no
# SVG renderer.
install(DIRECTORY ${quorvane_data}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${quorvane_data}/icons/src/quorvane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${QUORVANE_APP_ID}.svg)

# The licence, in Debian's machine-readable copyright format, made from LICENSE so that the
# licence text is kept in one place. An empty line of the text is a lone " ." in that format.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE quorvane_license)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
if(NOT quorvane_license MATCHES "Copyright \\(c\\) ([^\n]+)")
    message(FATAL_ERROR "LICENSE holds no \"Copyright (c) ...\" line")
endif()
set(QUORVANE_COPYRIGHT "${CMAKE_MATCH_1}")
string(FIND "${quorvane_license}" "Permission is hereby granted" quorvane_license_start)
string(SUBSTRING "${quorvane_license}" ${quorvane_license_start} -1 quorvane_license)
string(STRIP "${quorvane_license}" quorvane_license)
string(REPLACE "\n" "\n " quorvane_license " ${quorvane_license}")
string(REGEX REPLACE "\n \n" "\n .\n" QUORVANE_LICENSE_TEXT "${quorvane_license}")
configure_file(${quorvane_data}/debian/copyright.in ${PROJECT_BINARY_DIR}/data/debian/copyright
               @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/data/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
