# The Linux package: `cpack -G DEB` in the build folder makes vornidreader_VERSION_ARCH.deb.
# The program goes into a folder of its own, the service's unit is a file of the package, and
# the settings and the browsers' host manifests are files under /etc that an administrator
# may edit and that upgrades keep.
set(VORN_DEB_PACKAGE vornidreader)
set(VORN_DEB_DIR usr/lib/${VORN_DEB_PACKAGE})
set(VORN_DEB_PROGRAM /${VORN_DEB_DIR}/VornIdReader)
set(VORN_DEB_CONFIG_DIR etc/${VORN_DEB_PACKAGE})
set(VORN_DEB_USER ${VORN_DEB_PACKAGE})
set(VORN_DEB_DEVICE_GROUP plugdev)
set(VORN_DEB_STATE_NAME VornIdReader)
set(VORN_DEB_UNIT VornIdReader.service)
set(VORN_DEB_DISPLAY_NAME VornIdReaderService)
set(VORN_DEB_DESCRIPTION "此服响应来自本机网络关于二代证阅读器读卡请求")
set(VORN_DEB_HOST_NAME com.vorn.idreader)
set(VORN_DEB_MAINTAINER "VornIdReader developers <vornidreader@example.com>")

# The extensions that may start the host: Chrome-family origins such as
# "chrome-extension://abcdefghijklmnopabcdefghijklmnop/" and Firefox add-on ids. Empty lists
# allow none until the administrator edits the manifests under /etc/vornidreader.
set(VORN_DEB_CHROME_ORIGINS "" CACHE STRING
    "Extension origins allowed to start the native-messaging host (;-separated)")
set(VORN_DEB_FIREFOX_EXTENSIONS "" CACHE STRING
    "Firefox add-on ids allowed to start the native-messaging host (;-separated)")

# Web applications the Chromium-based browsers let reach the service without asking, written
# as a managed policy file of the package's own (no other policy file is touched). Empty: no
# policy file is installed.
set(VORN_DEB_LOOPBACK_ORIGINS "" CACHE STRING
    "Web application origins granted loopback access by browser policy (;-separated)")

# Where systemd looks for the units of packages.
set(VORN_DEB_UNIT_DIR lib/systemd/system)

set(_deb_source ${CMAKE_SOURCE_DIR}/packaging/linux)
set(_deb_build ${CMAKE_BINARY_DIR}/packaging/linux)
file(MAKE_DIRECTORY ${_deb_build}/control ${_deb_build}/links)

configure_file(${_deb_source}/VornIdReader.service.in ${_deb_build}/${VORN_DEB_UNIT} @ONLY)
foreach(_script postinst prerm postrm)
    configure_file(${_deb_source}/${_script}.in ${_deb_build}/control/${_script} @ONLY
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
            WORLD_READ WORLD_EXECUTE)
endforeach()

function(vorn_deb_manifest file key values)
    set(VORN_DEB_ALLOWED_KEY ${key})
    set(_quoted "")
    foreach(_value IN LISTS values)
        list(APPEND _quoted "\"${_value}\"")
    endforeach()
    list(JOIN _quoted ", " VORN_DEB_ALLOWED_LIST)
    configure_file(${_deb_source}/host-manifest.json.in ${_deb_build}/${file} @ONLY)
endfunction()
set(_chrome_manifest ${VORN_DEB_HOST_NAME}.json)
set(_firefox_manifest ${VORN_DEB_HOST_NAME}.firefox.json)
vorn_deb_manifest(${_chrome_manifest} allowed_origins "${VORN_DEB_CHROME_ORIGINS}")
vorn_deb_manifest(${_firefox_manifest} allowed_extensions "${VORN_DEB_FIREFOX_EXTENSIONS}")

set(_browser_policy browser-policy.json)
set(_policy_conffile "")
if(VORN_DEB_LOOPBACK_ORIGINS)
    set(_quoted "")
    foreach(_origin IN LISTS VORN_DEB_LOOPBACK_ORIGINS)
        list(APPEND _quoted "\"${_origin}\"")
    endforeach()
    list(JOIN _quoted ", " VORN_DEB_POLICY_LIST)
    configure_file(${_deb_source}/${_browser_policy}.in ${_deb_build}/${_browser_policy} @ONLY)
    set(_policy_conffile "/${VORN_DEB_CONFIG_DIR}/${_browser_policy}\n")
endif()

# Files under /etc are the package's configuration files: dpkg keeps an administrator's edits.
file(WRITE ${_deb_build}/control/conffiles
    "/${VORN_DEB_CONFIG_DIR}/config.ini\n"
    "/${VORN_DEB_CONFIG_DIR}/${_chrome_manifest}\n"
    "/${VORN_DEB_CONFIG_DIR}/${_firefox_manifest}\n"
    "${_policy_conffile}")

configure_file(${_deb_source}/changelog.in ${_deb_build}/changelog @ONLY)
execute_process(COMMAND gzip -9 -n -f -k ${_deb_build}/changelog)

# Each browser's system folder holds a link to the one manifest an administrator edits; the
# program folder links its settings and its trace folder to where the system keeps them.
# A link within one top-level folder is relative, as Debian wants; across them, absolute.
function(vorn_deb_link name target destination)
    file(MAKE_DIRECTORY ${_deb_build}/links/${destination})
    string(REGEX MATCH "^/[^/]+" _target_top ${target})
    string(REGEX MATCH "^[^/]+" _destination_top ${destination})
    if(_target_top STREQUAL "/${_destination_top}")
        file(RELATIVE_PATH target /${destination} ${target})
    endif()
    file(CREATE_LINK ${target} ${_deb_build}/links/${destination}/${name} SYMBOLIC)
    install(FILES ${_deb_build}/links/${destination}/${name} DESTINATION ${destination})
endfunction()
set(_chrome_target /${VORN_DEB_CONFIG_DIR}/${_chrome_manifest})
vorn_deb_link(${_chrome_manifest} ${_chrome_target} etc/opt/chrome/native-messaging-hosts)
vorn_deb_link(${_chrome_manifest} ${_chrome_target} etc/chromium/native-messaging-hosts)
vorn_deb_link(${_chrome_manifest} ${_chrome_target} etc/opt/edge/native-messaging-hosts)
vorn_deb_link(${_chrome_manifest} /${VORN_DEB_CONFIG_DIR}/${_firefox_manifest}
    usr/lib/mozilla/native-messaging-hosts)
if(VORN_DEB_LOOPBACK_ORIGINS)
    set(_policy_target /${VORN_DEB_CONFIG_DIR}/${_browser_policy})
    foreach(_folder etc/opt/chrome/policies/managed etc/chromium/policies/managed
            etc/opt/edge/policies/managed)
        vorn_deb_link(${VORN_DEB_PACKAGE}.json ${_policy_target} ${_folder})
    endforeach()
    install(FILES ${_deb_build}/${_browser_policy} DESTINATION ${VORN_DEB_CONFIG_DIR})
endif()
vorn_deb_link(config.ini /${VORN_DEB_CONFIG_DIR}/config.ini ${VORN_DEB_DIR})
vorn_deb_link(QD_LOG /var/log/${VORN_DEB_STATE_NAME} ${VORN_DEB_DIR})

install(TARGETS VornIdReader RUNTIME DESTINATION ${VORN_DEB_DIR})
install(FILES ${_deb_source}/config.ini ${_deb_build}/${_chrome_manifest}
    ${_deb_build}/${_firefox_manifest} DESTINATION ${VORN_DEB_CONFIG_DIR})
install(FILES ${_deb_build}/${VORN_DEB_UNIT} DESTINATION ${VORN_DEB_UNIT_DIR})
install(FILES ${_deb_source}/copyright ${_deb_build}/changelog.gz
    DESTINATION usr/share/doc/${VORN_DEB_PACKAGE})
install(FILES ${_deb_source}/lintian-overrides DESTINATION usr/share/lintian/overrides
    RENAME ${VORN_DEB_PACKAGE})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VORN_DEB_PACKAGE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VORN_DEB_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "local card-reading service for ID-card readers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "VornIdReader reads the identity card on a reader attached to this machine
for web pages (over a WebSocket on the loopback address) and browser
extensions (over native messaging), and answers with the card's fields, its
photo and pictures of its faces.

The reader maker's driver library (libsdtapi.so) and photo decoder library
(libWltRS.so) are not part of this package: put them into
/usr/lib/vornidreader.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# useradd and userdel make and remove the service's account.
set(CPACK_DEBIAN_PACKAGE_DEPENDS passwd)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${_deb_build}/control/postinst ${_deb_build}/control/prerm ${_deb_build}/control/postrm
    ${_deb_build}/control/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
