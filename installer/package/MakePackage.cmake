# Assembles "Install Gloamyard.pkg", the package the installer carries:
#   cmake -DOUT=... -DWORK=... -DAPP=... -DSAVER=... -DRESOURCES=...
#         -DENTRIES=a|b -DXML=c|d -DAPP_ID=... -DVERSION=... -DBUILD=...
#         -DTEAM=... -DKEY=... -DOPENSSL=... -P MakePackage.cmake
#
# The package is a tar archive of the installed tree:
#   bin/gloamyard, bin/gloamyard-saver        the two programs
#   share/gloamyard/Resources/                the scene's resource folder
#   share/applications/*.desktop              desktop entries (Exec names a program in bin/)
#   share/xscreensaver/config/*.xml           the display mode's option description
#   Manifests/gloamyard.json, gloamyard-saver.json   identifier, version, build
#   FileManifest                              SHA-256 of every other file
#   FileManifest.sig                          Ed25519 signature of FileManifest
cmake_minimum_required(VERSION 3.25)

foreach(required OUT WORK APP SAVER RESOURCES APP_ID VERSION BUILD TEAM KEY OPENSSL)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "MakePackage: ${required} is not given")
  endif()
endforeach()
foreach(program "${APP}" "${SAVER}")
  if(NOT EXISTS "${program}")
    message(FATAL_ERROR "MakePackage: the program ${program} does not exist")
  endif()
endforeach()
if(NOT IS_DIRECTORY "${RESOURCES}")
  message(FATAL_ERROR "MakePackage: the resource folder ${RESOURCES} does not exist")
endif()

set(root "${WORK}/root")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${root}/bin" "${root}/share/gloamyard" "${root}/Manifests")

set(exe_permissions OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(file_permissions OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(COPY_FILE "${APP}" "${root}/bin/gloamyard")
file(COPY_FILE "${SAVER}" "${root}/bin/gloamyard-saver")
file(CHMOD "${root}/bin/gloamyard" "${root}/bin/gloamyard-saver" PERMISSIONS ${exe_permissions})
file(COPY "${RESOURCES}/" DESTINATION "${root}/share/gloamyard/Resources"
  FILE_PERMISSIONS ${file_permissions}
  DIRECTORY_PERMISSIONS ${exe_permissions} OWNER_WRITE)

string(REPLACE "|" ";" entries "${ENTRIES}")
string(REPLACE "|" ";" xmls "${XML}")
foreach(entry IN LISTS entries)
  if(entry)
    file(COPY "${entry}" DESTINATION "${root}/share/applications" FILE_PERMISSIONS ${file_permissions})
  endif()
endforeach()
foreach(xml IN LISTS xmls)
  if(xml)
    file(COPY "${xml}" DESTINATION "${root}/share/xscreensaver/config" FILE_PERMISSIONS ${file_permissions})
  endif()
endforeach()

function(write_manifest file identifier executable)
  file(WRITE "${file}" "{\n  \"identifier\": \"${identifier}\",\n  \"version\": \"${VERSION}\",\n  \"build\": \"${BUILD}\",\n  \"executable\": \"${executable}\"\n}\n")
endfunction()
write_manifest("${root}/Manifests/gloamyard.json" "${APP_ID}" "bin/gloamyard")
write_manifest("${root}/Manifests/gloamyard-saver.json" "${APP_ID}.NativeSaver" "bin/gloamyard-saver")

# One line per file: "<sha256> <x or -> <path>", sorted by path; x marks
# the programs, the only files that must be executable.
set(manifest "Gloamyard file manifest 1\nteam ${TEAM}\nidentifier ${APP_ID}\nidentifier ${APP_ID}.NativeSaver\n")
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${root}" "${root}/*")
list(SORT files)
foreach(path IN LISTS files)
  if(path MATCHES "\n" OR IS_SYMLINK "${root}/${path}")
    message(FATAL_ERROR "MakePackage: ${path} cannot be carried (symbolic link or line break in its name)")
  endif()
  file(SHA256 "${root}/${path}" sha)
  set(mark "-")
  if(path MATCHES "^bin/")
    set(mark "x")
  endif()
  string(APPEND manifest "${sha} ${mark} ${path}\n")
endforeach()
file(WRITE "${root}/FileManifest" "${manifest}")

execute_process(
  COMMAND "${OPENSSL}" pkeyutl -sign -rawin -inkey "${KEY}" -in "${root}/FileManifest" -out "${root}/FileManifest.sig"
  RESULT_VARIABLE signed ERROR_VARIABLE why)
if(NOT signed EQUAL 0)
  message(FATAL_ERROR "MakePackage: signing the file manifest failed: ${why}")
endif()

get_filename_component(out_dir "${OUT}" DIRECTORY)
file(MAKE_DIRECTORY "${out_dir}")
file(GLOB top RELATIVE "${root}" "${root}/*")
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E tar cf "${OUT}.new" --format=gnutar -- ${top}
  WORKING_DIRECTORY "${root}" RESULT_VARIABLE packed)
if(NOT packed EQUAL 0)
  message(FATAL_ERROR "MakePackage: writing ${OUT} failed")
endif()
file(RENAME "${OUT}.new" "${OUT}")
file(REMOVE_RECURSE "${WORK}")
message(STATUS "Package ${OUT}: ${APP_ID} ${VERSION} (${BUILD}), signed by key ${TEAM}")
