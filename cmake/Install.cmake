# What `cmake --install` puts where, and the packages CPack makes of it: a .deb of the Linux tool,
# a zip of the Windows tool.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME kelvoran)
set(CPACK_PACKAGE_VENDOR "The Kelvoran developers")
set(CPACK_PACKAGE_CONTACT "The Kelvoran developers <developers@kelvoran.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tells when data has arrived in a watched folder")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)

if(WIN32)
    install(TARGETS kelvoran RUNTIME DESTINATION .)
    # In Windows' own line ends, after a UTF-8 byte-order mark: Notepad before Windows 10 1903
    # reads a text without one in the ANSI code page, and the text holds Japanese.
    file(READ ${PROJECT_SOURCE_DIR}/data/windows-readme.txt readme)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/windows-readme.txt)
    string(REPLACE "\n" "\r\n" readme "${readme}")
    string(ASCII 239 187 191 bom)
    file(WRITE ${PROJECT_BINARY_DIR}/README.txt "${bom}${readme}")
    install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)

    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME kelvoran-${PROJECT_VERSION}-windows-x64)
    # Unpacked, the zip makes a folder of its own (named as the zip), not two loose files.
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
elseif(KELVORAN_BUILD_GUI)
    install(TARGETS kelvoran RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

    # The desktop entry starts the tool through a launcher that changes to its settings folder.
    # Both name installed paths, so they are written as they are installed, under the prefix of
    # that install: CPack installs the .deb under /usr whatever prefix was configured.
    install(CODE "
        set(KV_INSTALLED_EXECUTABLE [[${CMAKE_INSTALL_BINDIR}/kelvoran]])
        set(KV_DESKTOP_LAUNCHER [[${CMAKE_INSTALL_LIBEXECDIR}/kelvoran/kelvoran-desktop]])
        cmake_path(ABSOLUTE_PATH KV_INSTALLED_EXECUTABLE BASE_DIRECTORY \"\${CMAKE_INSTALL_PREFIX}\")
        cmake_path(ABSOLUTE_PATH KV_DESKTOP_LAUNCHER BASE_DIRECTORY \"\${CMAKE_INSTALL_PREFIX}\")
        configure_file([[${PROJECT_SOURCE_DIR}/data/kelvoran-desktop.in]] [[${PROJECT_BINARY_DIR}/kelvoran-desktop]] @ONLY)
        configure_file([[${PROJECT_SOURCE_DIR}/data/org.kelvoran.Kelvoran.desktop.in]]
            [[${PROJECT_BINARY_DIR}/org.kelvoran.Kelvoran.desktop]] @ONLY)
    ")
    configure_file(data/org.kelvoran.Kelvoran.metainfo.xml org.kelvoran.Kelvoran.metainfo.xml @ONLY)
    install(PROGRAMS ${PROJECT_BINARY_DIR}/kelvoran-desktop DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/kelvoran)
    install(FILES ${PROJECT_BINARY_DIR}/org.kelvoran.Kelvoran.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_BINARY_DIR}/org.kelvoran.Kelvoran.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES data/icons/kelvoran.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    foreach(size 16 32 48)
        install(FILES data/icons/kelvoran-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME kelvoran.png)
    endforeach()

    # Debian wants the manual page and the change log compressed, reproducibly.
    find_program(GZIP gzip REQUIRED)
    add_custom_command(OUTPUT kelvoran.1.gz COMMAND ${GZIP} -9nc ${PROJECT_SOURCE_DIR}/data/kelvoran.1 > kelvoran.1.gz
        DEPENDS data/kelvoran.1)
    add_custom_command(OUTPUT changelog.gz COMMAND ${GZIP} -9nc ${PROJECT_SOURCE_DIR}/data/changelog > changelog.gz
        DEPENDS data/changelog)
    add_custom_target(kv_compressed_docs ALL DEPENDS kelvoran.1.gz changelog.gz)
    install(FILES ${PROJECT_BINARY_DIR}/kelvoran.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES data/copyright ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvoran)

    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # The extended description; the summary above is the synopsis line.
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kelvoran looks into one watched folder once a second and shows what it finds
in its window caption and taskbar text: watching while the folder is empty,
incoming as soon as anything has arrived, and a warning when the folder does
not exist. The folder is set in the window and kept in Kelvoran.ini.

An icon in the notification area (the tray) shows the same; a desktop
notification tells of an arrival, with a sound if wished, and reminds of data
left waiting and of data that has not arrived by a set time. The tool can
start itself at login, minimised.

Kelvoran は監視フォルダを毎秒確認し、データの着信をウィンドウのタイトルと
タスクバー、通知領域のアイコンに表示します。着信はデスクトップの通知と音で
知らせ、残っているデータや期限までに届かないデータをリマインドします。
ログイン時に最小化して起動することもできます。")
    # The libraries it links, worked out by dpkg-shlibdeps, and what it needs besides: Qt's X11
    # platform plugin, the window's fonts and Qt's translations (its file pickers in Japanese).
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "qt6-qpa-plugins, fonts-dejavu-core, fonts-ipafont-mincho, fonts-noto-cjk, qt6-translations-l10n")
    # The arrival sound's theme and the opener of フォルダを開く; without them that channel is quiet.
    # qt6-wayland: native on a Wayland desktop; without it the tool runs through XWayland.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "sound-theme-freedesktop, xdg-utils, qt6-wayland")
endif()

include(CPack)
