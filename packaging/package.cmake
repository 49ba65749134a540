# The Debian package tessim-clientes_<version>+deb<release>_amd64.deb (scripts/package builds it):
#   /usr/lib/zabbix/externalscripts/tessim_clientes   the program, stripped
#   /usr/share/tessim-clientes/                       the Zabbix templates (7.0, 6.0) and their README
#   /etc/tessim-clientes/my.cnf                        conffile for the MySQL password, no
#                                                      password in it; root:zabbix 0640
# Depends comes from the shared libraries the program links (dpkg-shlibdeps), which differ
# between Debian releases (libutf8proc2 on 12, libutf8proc3 on 13, ...): a package is built on
# the release it is for, and says which in its version, 1.0.8+deb12 or 1.0.8+deb13. "+" orders
# both after a plain 1.0.8, which they replace, and 13's after 12's, as a release upgrade wants.

# The version is the program's own, read from where the program keeps it.
file(STRINGS ${PROJECT_SOURCE_DIR}/core/constants.hpp tessim_version_line
     REGEX "VERSION = \"[0-9.]+\"")
string(REGEX MATCH "[0-9.]+" tessim_version "${tessim_version_line}")
if(NOT tessim_version)
  message(FATAL_ERROR "VERSION not found in core/constants.hpp")
endif()
cmake_host_system_information(RESULT tessim_release
  QUERY DISTRIB_ID DISTRIB_VERSION_ID DISTRIB_VERSION_CODENAME)
list(GET tessim_release 0 tessim_distribution)
list(GET tessim_release 1 tessim_debian)
list(GET tessim_release 2 tessim_codename)
# Elsewhere (Debian testing has no release number) the version stays plain, and
# scripts/package refuses the file.
set(tessim_package_version ${tessim_version})
if(tessim_distribution STREQUAL "debian" AND tessim_debian)
  set(tessim_package_version ${tessim_version}+deb${tessim_debian})
endif()

set(tessim_share share/tessim-clientes)
set(tessim_doc share/doc/tessim-clientes)
install(TARGETS tessim_clientes RUNTIME DESTINATION lib/zabbix/externalscripts)
install(FILES ${PROJECT_SOURCE_DIR}/zabbix/tessim_clientes.yaml
              ${PROJECT_SOURCE_DIR}/zabbix/tessim_clientes-6.0.yaml DESTINATION ${tessim_share})
install(FILES ${PROJECT_SOURCE_DIR}/docs/zabbix.md DESTINATION ${tessim_share} RENAME README.md)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${tessim_doc})
# Debian wants the changelog compressed at the highest level and without a time stamp.
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)
execute_process(COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/changelog
                OUTPUT_FILE ${CMAKE_BINARY_DIR}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${tessim_doc})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
        DESTINATION share/lintian/overrides RENAME tessim-clientes)
# 0640 from the start: the file is meant to receive a password, so it is never readable by
# everyone, not even between unpacking and the postinst that gives it to the zabbix group.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/my.cnf DESTINATION /etc/tessim-clientes
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessim-clientes)
set(CPACK_PACKAGE_VERSION ${tessim_package_version})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ISP customer-base collector for Zabbix and QuestDB")
# CPack puts the summary on the Description line and indents each line of this text by one
# space itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "tessim_clientes reads every service contract from an internet-service
provider's MySQL/MariaDB management database, normalises each contract into
a flat record keyed by Zabbix low-level-discovery macros and mirrors the
whole set into the QuestDB table tessimClientes, answering OK.
.
It runs as a Zabbix external check; the package installs it in
/usr/lib/zabbix/externalscripts together with a Zabbix template.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Brantevika Tecnologia <suporte@brantevika.com.br>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_ENHANCES
    "zabbix-server-mysql, zabbix-server-pgsql, zabbix-proxy-mysql, zabbix-proxy-pgsql, zabbix-proxy-sqlite3")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/conffiles ${PROJECT_SOURCE_DIR}/packaging/postinst
    ${PROJECT_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
