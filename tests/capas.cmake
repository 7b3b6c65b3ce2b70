# Fails when a file reaches past its layer: the dBase engine including anything of Firebird or
# Qt, the Firebird layer anything of the dBase engine or Qt, any file going to another folder
# through a relative "../" include, or a front end including a header of the data module other
# than the three it is meant to see. Run as: cmake -DRAIZ=<source dir> -P capas.cmake
cmake_minimum_required(VERSION 3.20)
set(faltas "")

function(incluidos fichero salida)
    file(STRINGS "${fichero}" lineas REGEX "^[ \t]*#[ \t]*include")
    set(${salida} "${lineas}" PARENT_SCOPE)
endfunction()

function(nombres_de carpeta salida)
    file(GLOB hs RELATIVE "${RAIZ}/${carpeta}" "${RAIZ}/${carpeta}/*.h")
    set(${salida} "${hs}" PARENT_SCOPE)
endfunction()

nombres_de(source cabeceras_origen)
nombres_de(target cabeceras_destino)
nombres_de(transfer cabeceras_datos)
set(publicas_datos TDatos.h Interfaz.h DataSource.h)

file(GLOB_RECURSE todos "${RAIZ}/app/*.cpp" "${RAIZ}/app/*.h" "${RAIZ}/transfer/*.cpp"
     "${RAIZ}/transfer/*.h" "${RAIZ}/source/*.cpp" "${RAIZ}/source/*.h" "${RAIZ}/target/*.cpp"
     "${RAIZ}/target/*.h" "${RAIZ}/common/*.h" "${RAIZ}/bench/*.cpp" "${RAIZ}/bench/*.h"
     "${RAIZ}/tests/*.cpp" "${RAIZ}/tests/*.h" "${RAIZ}/fuzz/*.cpp" "${RAIZ}/scripts/*.cpp")
foreach(f IN LISTS todos)
    file(RELATIVE_PATH rel "${RAIZ}" "${f}")
    string(REGEX MATCH "^[^/]+" capa "${rel}")
    incluidos("${f}" lineas)
    foreach(l IN LISTS lineas)
        string(REGEX MATCH "[<\"]([^>\"]+)[>\"]" _ "${l}")
        set(inc "${CMAKE_MATCH_1}")
        get_filename_component(base "${inc}" NAME)
        if(inc MATCHES "\\.\\./")
            list(APPEND faltas "${rel}: incluye ${inc} saliendo de su carpeta")
        endif()
        if(capa STREQUAL "source")
            if(base STREQUAL "ibase.h" OR base IN_LIST cabeceras_destino OR inc MATCHES "^Q")
                list(APPEND faltas "${rel}: el motor dBase incluye ${inc}")
            endif()
        elseif(capa STREQUAL "target")
            if(base IN_LIST cabeceras_origen OR inc MATCHES "^Q")
                list(APPEND faltas "${rel}: la capa de Firebird incluye ${inc}")
            endif()
        elseif(capa STREQUAL "app")
            if(base IN_LIST cabeceras_datos AND NOT base IN_LIST publicas_datos)
                list(APPEND faltas "${rel}: la interfaz incluye ${inc}, interna del módulo de datos")
            endif()
            if(base STREQUAL "ibase.h" OR base IN_LIST cabeceras_origen
               OR base IN_LIST cabeceras_destino)
                list(APPEND faltas "${rel}: la interfaz incluye ${inc}")
            endif()
        endif()
    endforeach()
endforeach()

if(faltas)
    list(JOIN faltas "\n" texto)
    message(FATAL_ERROR "${texto}")
endif()
list(LENGTH todos n)
message(STATUS "capas: ${n} ficheros, ninguno sale de la suya")
