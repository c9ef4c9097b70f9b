# Lo lanza cpack sobre la copia que va a empaquetar, antes de hacer el paquete: quita a los
# programas de usr/bin los símbolos y la información de depuración, y también las secciones
# .comment (la versión del compilador) y .note, que no sirven al cargar; lo mismo que hace
# dh_strip en un paquete de Debian (strip de CPack sólo quita los símbolos).
file(GLOB programas "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*")
if(NOT programas)
  message(FATAL_ERROR "No hay programas que desnudar en ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin")
endif()
foreach(programa IN LISTS programas)
  # Los guiones (tesmalo-lote-slurm) no son ELF y no se desnudan.
  file(READ "${programa}" magia LIMIT 4 HEX)
  if(NOT magia STREQUAL "7f454c46")
    continue()
  endif()
  execute_process(
    COMMAND "${CPACK_TESMALO_STRIP}" --remove-section=.comment --remove-section=.note "${programa}"
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
