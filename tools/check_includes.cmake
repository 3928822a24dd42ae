# Every '#include "…"' in a library's files must name a header that library
# may see: its own, or one a library it names exposes. Run by the build
# before any library is compiled (see corvanta_library in CMakeLists.txt);
# the include paths alone miss a header that sits in the includer's folder.
# -DROOT=<source folder> -DMANIFEST=<include_manifest.cmake> -DSTAMP=<file>
cmake_minimum_required(VERSION 3.16)
include(${MANIFEST})
set(faults "")
foreach(library ${LIBRARIES})
  foreach(file ${FILES_${library}})
    file(STRINGS ${ROOT}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${lines})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" header "${line}")
      if(NOT header IN_LIST VISIBLE_${library})
        string(APPEND faults "${file}: ${library} may not include \"${header}\"\n")
      endif()
    endforeach()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "Includes outside what the library names:\n${faults}")
endif()
file(TOUCH ${STAMP})
