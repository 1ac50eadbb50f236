# Compile settings shared by every target of the project.
add_library(orvel_common INTERFACE)
target_compile_features(orvel_common INTERFACE cxx_std_17)
target_compile_options(orvel_common INTERFACE -Wall -Wextra)
target_compile_definitions(orvel_common INTERFACE
  QT_DEPRECATED_WARNINGS
  QT_DISABLE_DEPRECATED_BEFORE=0x050F00
  ORVEL_VERSION="${PROJECT_VERSION}")
if(ORVEL_SANITIZE)
  # Every finding stops the program, so that a test or a fuzz run fails on it.
  target_compile_options(orvel_common INTERFACE -fsanitize=${ORVEL_SANITIZE} -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  target_link_options(orvel_common INTERFACE -fsanitize=${ORVEL_SANITIZE})
endif()

# orvel_add_test(NAME SOURCES a.cpp [b.cpp...] LIBS lib... [LABELS l...] [TIMEOUT s])
# Registers one QtTest executable with ctest. Tests isolate HOME and the XDG
# folders themselves (see tests/support).
function(orvel_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE orvel_common Qt5::Test ${T_LIBS})
  if(ORVEL_SANITIZE MATCHES "thread")
    # Qt's mutexes made visible to ThreadSanitizer (see the file)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/tsanqtmutex.cpp)
    target_link_libraries(${name} PRIVATE ${CMAKE_DL_LIBS})
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;QT_QUICK_BACKEND=software")
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
