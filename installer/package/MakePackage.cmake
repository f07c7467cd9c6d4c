# Assembles "Install Gloamyard.pkg", the package the installer carries:
#   cmake -DOUT=... -DWORK=... -DAPP=... -DSAVER=... -DRESOURCES=...
#         -DENTRIES=a|b -DXML=c|d -DAPP_ID=... -DVERSION=... -DBUILD=...
#         [-DKEY=... -DOPENSSL=...] [-DOBJCOPY=... -DDEBUG_DIR=...] -P MakePackage.cmake
#
# The package is a zstd-compressed tar archive (pax) of the installed tree:
#   bin/gloamyard, bin/gloamyard-saver        the two programs, stripped
#   share/gloamyard/Resources/                the scene's resource folder (with the menu icons)
#   share/applications/*.desktop              desktop entries (Exec names a program in bin/)
#   share/xscreensaver/config/*.xml           the display mode's option description
#   Manifests/gloamyard.json, gloamyard-saver.json   identifier, version, build
#   FileManifest                              SHA-256 of every other file
# and beside it OUT.sig, the 64-byte Ed25519 signature of the archive's
# bytes, made with KEY. Without KEY no signature is made: the tests sign
# their packages with a key of their own when they run.
#
# With OBJCOPY, the programs are shipped without their debug information,
# which stays in DEBUG_DIR under .build-id/xx/yyyy.debug, where gdb finds it
# by the program's build-id ("set debug-file-directory DEBUG_DIR").
cmake_minimum_required(VERSION 3.25)

foreach(required OUT WORK APP SAVER RESOURCES APP_ID VERSION BUILD)
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
# Strips `program` into `destination`, keeping its debug information by
# build-id in DEBUG_DIR; a plain copy without OBJCOPY.
function(ship_program program destination)
  if(NOT OBJCOPY)
    file(COPY_FILE "${program}" "${destination}")
    return()
  endif()
  set(note "${WORK}/build-id.note")
  execute_process(COMMAND "${OBJCOPY}" -O binary --only-section=.note.gnu.build-id "${program}" "${note}"
                  RESULT_VARIABLE dumped)
  file(READ "${note}" note_hex HEX)
  file(REMOVE "${note}")
  # An ELF note: name size, description size, type (3 words), "GNU\0", then the id.
  string(LENGTH "${note_hex}" note_length)
  if(NOT dumped EQUAL 0 OR note_length LESS 34)
    message(FATAL_ERROR "MakePackage: ${program} has no build-id (link with --build-id)")
  endif()
  string(SUBSTRING "${note_hex}" 32 -1 build_id)
  string(SUBSTRING "${build_id}" 0 2 head)
  string(SUBSTRING "${build_id}" 2 -1 rest)
  set(debug "${DEBUG_DIR}/.build-id/${head}/${rest}.debug")
  get_filename_component(debug_dir "${debug}" DIRECTORY)
  file(MAKE_DIRECTORY "${debug_dir}")
  execute_process(COMMAND "${OBJCOPY}" --only-keep-debug "${program}" "${debug}" RESULT_VARIABLE kept)
  execute_process(COMMAND "${OBJCOPY}" --strip-all "${program}" "${destination}" RESULT_VARIABLE stripped)
  if(NOT kept EQUAL 0 OR NOT stripped EQUAL 0)
    message(FATAL_ERROR "MakePackage: stripping ${program} failed")
  endif()
endfunction()
ship_program("${APP}" "${root}/bin/gloamyard")
ship_program("${SAVER}" "${root}/bin/gloamyard-saver")
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
set(manifest "Gloamyard file manifest 2\nidentifier ${APP_ID}\nidentifier ${APP_ID}.NativeSaver\n")
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

get_filename_component(out_dir "${OUT}" DIRECTORY)
file(MAKE_DIRECTORY "${out_dir}")
file(REMOVE "${OUT}.sig")
file(GLOB top RELATIVE "${root}" "${root}/*")
list(SORT top)
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E tar cf "${OUT}.new" --zstd --format=pax "--mtime=2000-01-01 00:00:00 UTC" -- ${top}
  WORKING_DIRECTORY "${root}" RESULT_VARIABLE packed)
if(NOT packed EQUAL 0)
  message(FATAL_ERROR "MakePackage: writing ${OUT} failed")
endif()
# The signature covers every byte of the archive; the installer checks it
# before it reads a single member.
if(KEY)
  execute_process(
    COMMAND "${OPENSSL}" pkeyutl -sign -rawin -inkey "${KEY}" -in "${OUT}.new" -out "${OUT}.sig.new"
    RESULT_VARIABLE signed ERROR_VARIABLE why)
  if(NOT signed EQUAL 0)
    message(FATAL_ERROR "MakePackage: signing ${OUT} failed: ${why}")
  endif()
  file(RENAME "${OUT}.sig.new" "${OUT}.sig")
endif()
file(RENAME "${OUT}.new" "${OUT}")
file(REMOVE_RECURSE "${WORK}")
file(SIZE "${OUT}" packed_size)
if(KEY)
  message(STATUS "Package ${OUT}: ${APP_ID} ${VERSION} (${BUILD}), ${packed_size} bytes, signed with ${KEY}")
else()
  message(STATUS "Package ${OUT}: ${APP_ID} ${VERSION} (${BUILD}), ${packed_size} bytes, not signed")
endif()
