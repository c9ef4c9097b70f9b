# tesmalo_prueba(NOMBRE FUENTE... LIBS lib...)
# Compila una prueba de Qt Test y la registra en CTest. Las pruebas corren sin pantalla
# (plataforma offscreen) y con una configuración regional fija, para no depender de la máquina.
function(tesmalo_prueba nombre)
  cmake_parse_arguments(P "" "" "LIBS" ${ARGN})
  add_executable(${nombre} ${P_UNPARSED_ARGUMENTS})
  target_link_libraries(${nombre} PRIVATE Qt6::Test ${P_LIBS})
  # pruebas/apoyo.h, y la carpeta de las muestras si no la da TESMALO_MUESTRAS.
  target_include_directories(${nombre} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${nombre} PRIVATE TESMALO_MUESTRAS_FUENTE="${PROJECT_SOURCE_DIR}/samples")
  add_test(NAME ${nombre} COMMAND ${nombre})
  set_tests_properties(${nombre} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;TESMALO_MUESTRAS=${PROJECT_SOURCE_DIR}/samples"
    TIMEOUT 300)
endfunction()
