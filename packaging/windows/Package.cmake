# The Windows installer and the portable zip, made with every build into <build>/package:
# deploy.sh lays out the program folder (the executable, its files, Qt's plugins, every DLL they
# import from the build's DLL folders, licences), package.sh makes both from it.

include(packaging/ProductInfo.cmake)
find_program(MAKENSIS makensis REQUIRED)

set(PINGORA_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
set(PINGORA_INSTALLER ${PINGORA_PACKAGE_DIR}/Pingora-${PROJECT_VERSION}-setup-x64.exe)
set(PINGORA_PORTABLE_ZIP ${PINGORA_PACKAGE_DIR}/Pingora-${PROJECT_VERSION}-portable-x64.zip)
set(deployed ${PINGORA_PACKAGE_DIR}/Pingora)
# The folders where the build's programs find their DLLs under Wine are where the users' copies
# come from.
string(JOIN ":" dll_folders ${dll_dirs})

set(inputs pingora pingora_program_files LICENSE
    scripts/windows/deploy.sh ${CMAKE_BINARY_DIR}/pingora.ico scripts/windows/package.sh
    packaging/windows/pingora.nsi packaging/windows/dll-sources.txt)
# A sound module built for Windows sits in the program folder and comes along.
if(TARGET pingora-sound)
    list(APPEND inputs pingora-sound)
endif()

add_custom_command(OUTPUT ${PINGORA_INSTALLER} ${PINGORA_PORTABLE_ZIP}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PINGORA_PACKAGE_DIR}
    COMMAND ${CMAKE_COMMAND} -E env OBJDUMP=${CMAKE_OBJDUMP} STRIP=${CMAKE_STRIP}
            bash ${CMAKE_SOURCE_DIR}/scripts/windows/deploy.sh ${PINGORA_PROGRAM_DIR}
            ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS} ${dll_folders} ${CMAKE_BINARY_DIR}/pingora.ico
            ${deployed}
    COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/windows/package.sh ${deployed}
            ${PINGORA_INSTALLER} ${PINGORA_PORTABLE_ZIP}
            -DVERSION=${PROJECT_VERSION} "-DPUBLISHER=${PINGORA_VENDOR}"
            -DHOME_PAGE=${PINGORA_HOMEPAGE} -DCONTACT_PAGE=${PINGORA_CONTACT_PAGE}
            -DLICENSE_FILE=${deployed}/licenses/Pingora.txt
    DEPENDS ${inputs}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    COMMENT "Making the Windows installer and the portable zip"
    VERBATIM)
add_custom_target(pingora_windows_package ALL
    DEPENDS ${PINGORA_INSTALLER} ${PINGORA_PORTABLE_ZIP})
