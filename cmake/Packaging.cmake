# The Debian package, built by scripts/package with `cpack -G DEB` from the install
# rules of the whole tree: the programs and their library, the privileged service,
# and what this file adds for the desktop, polkit and the package's documents.

set(NOXEL_PACKAGE_MAINTAINER "Noxel <support@noxel.invalid>" CACHE STRING
    "Maintainer named in the Debian package")
option(NOXEL_DEMO_PACKAGE
    "Allow a package that pins the demo provider's certificate (it is marked as a demo build)" OFF)

# The demo provider's private key is in this repository: a client that pins its
# certificate trusts anyone. Such a build is a demo, whatever the file is called
# and however its lines end; a bundle that holds the certificate counts too.
function(noxel_certificate_body file output)
    file(READ "${file}" text)
    string(REGEX REPLACE "-----[A-Z ]+-----|[\r\n\t ]" "" text "${text}")
    set(${output} "${text}" PARENT_SCOPE)
endfunction()
noxel_certificate_body("${PROJECT_SOURCE_DIR}/resources/ssl/server.crt" demo_certificate)
noxel_certificate_body("${NOXEL_API_CERTIFICATE}" pinned_certificates)
string(FIND "${pinned_certificates}" "${demo_certificate}" demo_position)
if(demo_position GREATER_EQUAL 0)
    set(NOXEL_DEMO_BUILD ON)
else()
    set(NOXEL_DEMO_BUILD OFF)
endif()

# The desktop: menu entry, software-centre record, icons in the hicolor theme.
set(NOXEL_APP_ID com.noxel.Client)
install(FILES packaging/${NOXEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/${NOXEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 24 32 48 64 128 256)
    install(FILES resources/images/app/${size}_app.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME noxel.png)
endforeach()

# polkit: the action of the client's own start as root through pkexec, and the rule
# that lets the user at the machine start and stop the OpenVPN service.
install(FILES packaging/com.noxel.client.policy DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)
install(FILES packaging/50-noxel-openvpn-service.rules DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/rules.d)

# Manual pages and the package's documents, compressed as Debian keeps them.
set(NOXEL_PACKAGE_VERSION ${PROJECT_VERSION})
if(NOXEL_DEMO_BUILD)
    set(NOXEL_PACKAGE_VERSION ${PROJECT_VERSION}~demo)
endif()
configure_file(packaging/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
find_program(GZIP_PROGRAM gzip REQUIRED)
set(compressed_documents)
foreach(document packaging/noxel.1 packaging/updater.1 ${PROJECT_BINARY_DIR}/packaging/changelog)
    get_filename_component(name "${document}" NAME)
    get_filename_component(source "${document}" ABSOLUTE BASE_DIR "${PROJECT_SOURCE_DIR}")
    set(compressed "${PROJECT_BINARY_DIR}/packaging/${name}.gz")
    # -n: no name or time in the header, so that the package is the same each time.
    add_custom_command(OUTPUT "${compressed}"
        COMMAND "${GZIP_PROGRAM}" -9 -n -c "${source}" > "${compressed}"
        DEPENDS "${source}" VERBATIM)
    list(APPEND compressed_documents "${compressed}")
endforeach()
add_custom_target(package_documents ALL DEPENDS ${compressed_documents})
install(FILES ${PROJECT_BINARY_DIR}/packaging/noxel.1.gz ${PROJECT_BINARY_DIR}/packaging/updater.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/copyright README.md ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The package itself.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME noxel)
set(CPACK_PACKAGE_VENDOR Noxel)
set(CPACK_PACKAGE_VERSION ${NOXEL_PACKAGE_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${NOXEL_PACKAGE_VERSION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${NOXEL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the client runs or loads at run time, which dpkg-shlibdeps cannot see: the
# tunnel programs, the SQLite and X11 plug-ins of Qt, pkexec and polkit (its
# JavaScript rules since 121).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "openvpn, stunnel4, iproute2, libqt6sql6-sqlite, qt6-qpa-plugins, pkexec, polkitd (>= 121)")
# systemctl starts the service for a client without root; xdg-open opens links.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "systemd, xdg-utils")
# PPTP and L2TP (with IPsec) dial with the system's PPP programs when present.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ppp, pptp-linux, xl2tpd, strongswan")
set(summary "desktop client of the Noxel VPN service")
set(description
    "Log in with a Noxel account, pick a server location or let the client pick\n"
    "the fastest, and connect with OpenVPN over UDP or TCP, Stealth OpenVPN\n"
    "(OpenVPN through stunnel), L2TP or PPTP. The client shows the connection\n"
    "state, the public address and location, traffic rates and its logs, and\n"
    "lives in the tray. Without root it has the systemd unit NoxelOpenVPNService\n"
    "start OpenVPN when it connects: the unit never starts at boot.")
if(NOXEL_DEMO_BUILD)
    set(summary "${summary} (demo build)")
    set(description
        "DEMO BUILD: trusts the certificate of the demo provider whose private key\n"
        "is public. Anyone can pose as the provider to it: use it for tests only.\n"
        ".\n" ${description})
endif()
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION "${summary}\n" ${description})
foreach(script postinst prerm postrm)
    list(APPEND CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/packaging/${script}")
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# cpack refuses a package that pins the demo certificate unless it was asked for
# one; the package then says in its version and description that it is a demo.
set(CPACK_NOXEL_DEMO_BUILD ${NOXEL_DEMO_BUILD})
set(CPACK_NOXEL_DEMO_PACKAGE ${NOXEL_DEMO_PACKAGE})
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_BINARY_DIR}/packaging/CPackChecks.cmake")
file(WRITE "${CPACK_PROJECT_CONFIG_FILE}" [=[
if(CPACK_NOXEL_DEMO_BUILD AND NOT CPACK_NOXEL_DEMO_PACKAGE)
    message(FATAL_ERROR "The client pins the demo provider's certificate, whose private key is public. "
        "Configure with -DNOXEL_API_CERTIFICATE=<the provider's certificate>, or with "
        "-DNOXEL_DEMO_PACKAGE=ON for a package marked as a demo.")
endif()
]=])
include(CPack)
