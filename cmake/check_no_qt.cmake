# Fails when a source of the platform or logic layers includes a Qt header:
# those layers must build and be tested without Qt.
file(GLOB_RECURSE sources
     "${SOURCE_DIR}/platform/*.h" "${SOURCE_DIR}/platform/*.cpp"
     "${SOURCE_DIR}/protocol/*.h" "${SOURCE_DIR}/protocol/*.cpp"
     "${SOURCE_DIR}/connection/*.h" "${SOURCE_DIR}/connection/*.cpp"
     "${SOURCE_DIR}/commands/*.h" "${SOURCE_DIR}/commands/*.cpp"
     "${SOURCE_DIR}/settings/*.h" "${SOURCE_DIR}/settings/*.cpp"
     "${SOURCE_DIR}/history/*.h" "${SOURCE_DIR}/history/*.cpp"
     "${SOURCE_DIR}/servers/*.h" "${SOURCE_DIR}/servers/*.cpp"
     "${SOURCE_DIR}/completion/*.h" "${SOURCE_DIR}/completion/*.cpp"
     "${SOURCE_DIR}/ui/*.h" "${SOURCE_DIR}/ui/*.cpp"
     "${SOURCE_DIR}/options/model/*.h" "${SOURCE_DIR}/options/model/*.cpp")
set(offenders)
foreach(file IN LISTS sources)
  if(file MATCHES "/platform/qt/")
    continue()
  endif()
  file(STRINGS "${file}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Qt[A-Za-z]*/|Q[A-Z][A-Za-z]*[>\"])")
  if(hits)
    list(APPEND offenders "${file}: ${hits}")
  endif()
endforeach()
if(offenders)
  list(JOIN offenders "\n" text)
  message(FATAL_ERROR "Qt headers in Qt-free layers:\n${text}")
endif()
message(STATUS "No Qt headers in the platform and logic layers")
