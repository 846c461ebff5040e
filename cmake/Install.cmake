# Installs Quorvane where Linux desktops look for an application: the program in bin/, a launcher
# entry, the icon in the hicolor theme at every size it was drawn for, and AppStream metainfo for
# software centres. The version shown in the launcher entry and the metainfo is project()'s.
#
# The program writes its copy file next to its executable, so a user install should go to a
# prefix the user can write, e.g. `cmake --install build --prefix ~/.local`.
include(GNUInstallDirs)

# One reverse-DNS id names the launcher entry, the metainfo and the icon.
set(QUORVANE_APP_ID org.quorvane.Quorvane)
get_target_property(QUORVANE_EXECUTABLE quorvane OUTPUT_NAME)
if(NOT QUORVANE_EXECUTABLE)
    set(QUORVANE_EXECUTABLE quorvane)
endif()

set(quorvane_data ${PROJECT_SOURCE_DIR}/data)
configure_file(${quorvane_data}/${QUORVANE_APP_ID}.desktop.in
               ${PROJECT_BINARY_DIR}/data/${QUORVANE_APP_ID}.desktop @ONLY)
configure_file(${quorvane_data}/${QUORVANE_APP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/data/${QUORVANE_APP_ID}.metainfo.xml @ONLY)

install(TARGETS quorvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The helper that reads pages under CPU and memory limits, where the program looks for it:
# <bin>/../libexec/quorvane.
install(TARGETS quorvane-page-reader RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/quorvane)
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
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
