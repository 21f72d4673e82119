# The platform layer's sources: what is the same everywhere, and one folder per system (win/ for
# Windows, posix/ elsewhere). They are built into qm_text with the framework's window-free part.
if(WIN32)
  set(QM_PLATFORM_DIR ${CMAKE_SOURCE_DIR}/platform/win)
  set(QM_PLATFORM_LIBS shell32)
else()
  set(QM_PLATFORM_DIR ${CMAKE_SOURCE_DIR}/platform/posix)
  find_package(Threads REQUIRED)
  set(QM_PLATFORM_LIBS Threads::Threads ${CMAKE_DL_LIBS})
endif()
set(QM_PLATFORM_SOURCES
  ${CMAKE_SOURCE_DIR}/platform/Console.cpp
  ${CMAKE_SOURCE_DIR}/platform/Files.cpp
  ${QM_PLATFORM_DIR}/ClientLibrary.cpp
  ${QM_PLATFORM_DIR}/Console.cpp
  ${QM_PLATFORM_DIR}/Environment.cpp
  ${QM_PLATFORM_DIR}/Files.cpp
  ${QM_PLATFORM_DIR}/Text.cpp
  ${QM_PLATFORM_DIR}/Thread.cpp)
