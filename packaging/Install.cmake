# Installation and the Debian package.
#
# The program finds its files beside its real executable, so it is installed as a self-contained
# program folder, <prefix>/lib/pingora, and <prefix>/bin/pingora is a relative link to the
# executable there. Desktop entry, metainfo, icons, manual page and documentation go to the
# usual places below <prefix>/share.

include(GNUInstallDirs)

# Date of the release named in project(); update both together.
set(PINGORA_RELEASE_DATE 2026-12-07)

set(PINGORA_INSTALL_PROGRAM_DIR lib/pingora
    CACHE STRING "Program folder below the install prefix: the executable and its own files")

include(packaging/ProductInfo.cmake)
set(PINGORA_MAINTAINER "${PINGORA_VENDOR} <${PINGORA_SUPPORT_EMAIL}>")

# The Debian changelog wants the date as in RFC 5322.
execute_process(COMMAND date -u -R -d "${PINGORA_RELEASE_DATE} 12:00"
    OUTPUT_VARIABLE PINGORA_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)

# The hardening Debian gives its own packages (dpkg-buildflags): checked string and memory
# functions, and a read-only relocation table bound at start. Fortified functions need an
# optimised build, and the sanitizers bring checks of their own.
if(NOT PINGORA_SANITIZE)
    foreach(target pingora_core pingora_resources pingora_beep pingora_history pingora_desktop
                   pingora_appearance pingora_app pingora pingora_sound_engine pingora-sound)
        target_compile_definitions(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
    endforeach()
    target_link_options(pingora PRIVATE LINKER:-z,relro,-z,now)
    target_link_options(pingora-sound PRIVATE LINKER:-z,relro,-z,now)
endif()

set(packaging_dir ${CMAKE_BINARY_DIR}/packaging)
configure_file(packaging/pingora.desktop.in ${packaging_dir}/${PINGORA_APP_ID}.desktop @ONLY)
configure_file(packaging/pingora.metainfo.xml.in ${packaging_dir}/${PINGORA_APP_ID}.metainfo.xml
    @ONLY)
configure_file(packaging/pingora.1.in ${packaging_dir}/pingora.1 @ONLY)
configure_file(packaging/changelog.in ${packaging_dir}/changelog @ONLY)

# Manual page and changelog are installed compressed, as Debian wants them; -n keeps the
# compressed bytes free of time stamps.
find_program(GZIP gzip REQUIRED)
set(compressed)
foreach(name pingora.1 changelog)
    add_custom_command(OUTPUT ${packaging_dir}/compressed/${name}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${packaging_dir}/${name} ${packaging_dir}/compressed/${name}
        COMMAND ${GZIP} -9nf ${packaging_dir}/compressed/${name}
        DEPENDS ${packaging_dir}/${name}
        VERBATIM)
    list(APPEND compressed ${packaging_dir}/compressed/${name}.gz)
endforeach()
add_custom_target(pingora_install_files ALL DEPENDS ${compressed})

# The link in bin/ is made here and installed as it is: install() keeps links as links.
cmake_path(RELATIVE_PATH PINGORA_INSTALL_PROGRAM_DIR BASE_DIRECTORY ${CMAKE_INSTALL_BINDIR}
    OUTPUT_VARIABLE program_dir_from_bin)
file(MAKE_DIRECTORY ${packaging_dir}/bin)
file(CREATE_LINK ${program_dir_from_bin}/pingora ${packaging_dir}/bin/pingora SYMBOLIC)

install(TARGETS pingora RUNTIME DESTINATION ${PINGORA_INSTALL_PROGRAM_DIR})
# The sound engine, which the program loads from its own folder. A folder of its own, so that
# the package does not run ldconfig for a module no other program links.
install(TARGETS pingora-sound LIBRARY DESTINATION ${PINGORA_INSTALL_PROGRAM_DIR}/sound
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
# A stripped install (--strip, and the package) also drops the compiler's notes, as Debian's
# own packages do.
foreach(file pingora sound/libpingora-sound.so)
    install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
            execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${PINGORA_INSTALL_PROGRAM_DIR}/${file}\"
                COMMAND_ERROR_IS_FATAL ANY)
        endif()")
endforeach()
install(FILES ${PINGORA_PROGRAM_DIR}/beep.wav ${PINGORA_PROGRAM_DIR}/HAND-M.CUR
    DESTINATION ${PINGORA_INSTALL_PROGRAM_DIR})
install(FILES ${packaging_dir}/bin/pingora DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${packaging_dir}/${PINGORA_APP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging_dir}/${PINGORA_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${packaging_dir}/compressed/pingora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# A package made by its own authors is a native Debian package: its changelog is changelog.gz.
install(FILES packaging/copyright ${packaging_dir}/compressed/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pingora)

# The Debian package: cpack -G DEB in the build folder gives pingora_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pingora)
set(CPACK_PACKAGE_VENDOR "${PINGORA_VENDOR}")
set(CPACK_PACKAGE_CONTACT "${PINGORA_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${PINGORA_HOMEPAGE}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "play a sound at a chosen interval")
# Lines of the long description are kept within 80 columns, as Debian asks.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Pingora plays a sound file again and again at the interval you choose, from"
    "every second to every 24 hours. A countdown and a progress bar show the time"
    "left until the next beep, and every beep is written to a history log that"
    "the program shows, copies to the clipboard and clears on request."
    ""
    "It keeps an icon in the notification area and can start when you log on,"
    "optionally hidden there. Sound goes through the desktop's sound server"
    "(PulseAudio or PipeWire).")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Directories made by the install keep the usual 755 whatever the umask of the one who builds.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PINGORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps finds the libraries the executable links (Qt, libpulse, libsndfile,
# libwavpack); Qt's X11 platform plugin comes with libqt6gui6. What the program merely works
# better with is recommended: a sound server (PulseAudio, or PipeWire's pipewire-pulse), the SVG
# plugin that draws the scalable theme icon at any size, Arial-compatible fonts for the
# window's captions, and xdg-open, which opens the history log and the home page.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "pulseaudio | pipewire-pulse, libqt6svg6, fonts-liberation, xdg-utils")

include(CPack)
