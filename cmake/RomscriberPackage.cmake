# The Debian package (cpack -G DEB): every installed file, under the same
# prefix the programs were built for, so the window recognises its installed
# location. Its dependencies come from dpkg-shlibdeps (package dpkg-dev).
include_guard(GLOBAL)

# The programs this build installs, named in the description.
set(programs)
foreach(program romscriber-studio romscriber romscriber-dump romscriber-insert romscriber-find romscriber-dict)
  if(TARGET ${program})
    list(APPEND programs ${program})
  endif()
endforeach()
list(JOIN programs ", " program_list)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME romscriber)
set(CPACK_PACKAGE_VENDOR "Equipo de Romscriber")
set(CPACK_PACKAGE_CONTACT "Equipo de Romscriber")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own buttons in the studio's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "extractor de scripts de ROM para traducir juegos")
# The long description; CPack puts the summary above it.
set(CPACK_PACKAGE_DESCRIPTION "Romscriber vuelca el texto de una imagen ROM de cartucho a archivos de script
para traducirlo, con una tabla Thingy (*.tbl) que dice qué texto representa
cada byte o grupo de bytes, y vuelve a insertar la traducción en una ROM
nueva con sus punteros corregidos y sus parches IPS y BPS. romscriber-studio
es la ventana del traductor sobre todo ese camino.

Programas: ${program_list}.

Instalada en el sistema, la ventana romscriber trabaja en la carpeta Romscriber
de la carpeta de documentos del usuario (por ejemplo ~/Documentos/Romscriber,
creada si falta): sus diálogos se abren allí y los scripts van a su carpeta
Scripts. romscriber-dump escribe en Scripts de la carpeta actual, o en la que
indique --out. romscriber-find busca, en una ROM sin tabla ni punteros, los
valores de las letras, los textos y las tablas de punteros. romscriber-dict
elige un diccionario (DTE/MTE) para la tabla de un proyecto, para que la
traducción ocupe menos bytes.")

include(CPack)
