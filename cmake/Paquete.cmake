# El paquete de Debian: cpack -G DEB en la carpeta de compilación da tesmalo_VERSIÓN_amd64.deb,
# con los dos programas, el icono, la entrada de escritorio, la ficha AppStream y la página de
# manual. Las dependencias las calcula dpkg-shlibdeps a partir de las bibliotecas enlazadas.
include(GNUInstallDirs)
set(tesmalo_documentos ${CMAKE_INSTALL_DATADIR}/doc/tesmalo)
install(FILES ${PROJECT_SOURCE_DIR}/paquete/copyright DESTINATION ${tesmalo_documentos})
# Debian pide el registro de cambios comprimido, sin nombre ni fecha en la cabecera de gzip.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/paquete/changelog > ${PROJECT_BINARY_DIR}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/paquete/changelog)
add_custom_target(tesmalo_registro_cambios ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${tesmalo_documentos})
# La excepción de lintian para tesmalo: se compila con _FORTIFY_SOURCE como tesmalo-cli, pero
# en sus llamadas las funciones que lintian cuenta (read, readlink, realpath) escriben en
# memoria de tamaño desconocido al compilar, así que sólo memcpy queda protegida, y lintian no la
# cuenta. hardening-check sí la ve.
install(FILES ${PROJECT_SOURCE_DIR}/paquete/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tesmalo)

set(CPACK_PACKAGE_NAME tesmalo)
set(CPACK_PACKAGE_VENDOR "Los autores de Tesmalo")
set(CPACK_PACKAGE_CONTACT "Mantenedores de Tesmalo <maintainers@users.noreply.c-seed-0e8822b8.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "reestructura rejillas DTM de texto en rejillas ASCII de Esri")
set(CPACK_PACKAGE_DESCRIPTION
    "Tesmalo convierte una rejilla de texto de un modelo digital del terreno
(unas líneas de cabecera y los valores repartidos en líneas de cualquier
manera) en una rejilla ASCII de Esri: una cabecera de seis líneas y una fila
de la rejilla por línea, con los valores copiados tal cual. Trae la ventana
tesmalo y el programa de línea de órdenes tesmalo-cli, que convierte también
muchos ficheros a la vez.")
# Los programas se desnudan como en un paquete de Debian (cmake/Desnudar.cmake), no con el strip
# de CPack, que deja .comment y .note.
set(CPACK_STRIP_FILES OFF)
set(CPACK_TESMALO_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/Desnudar.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Lo que dpkg-shlibdeps no ve: la traducción española de Qt (sin ella el selector sale en inglés)
# y el complemento de Qt para la pantalla.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TESMALO_URL})
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
