# The key that signs the installer's package, and what the installer carries
# of it: the raw Ed25519 public key and its id (the first ten hex digits,
# upper case, of the SHA-256 of the public key in DER form).
#
# A release build passes its key: -DGLOAMYARD_SIGNING_KEY=/path/key.pem.
# A build from source makes a key pair once for the building user, outside
# the source and build trees, in $XDG_CONFIG_HOME/gloamyard-build/ (normally
# ~/.config/gloamyard-build/), readable by that user only.

find_program(GLOAMYARD_OPENSSL openssl REQUIRED)
set(GLOAMYARD_SIGNING_KEY "" CACHE FILEPATH
  "Ed25519 private key (PEM) that signs the installer's package; empty: this user's local build key")

function(gloamyard_local_signing_key out)
  if(DEFINED ENV{XDG_CONFIG_HOME} AND IS_ABSOLUTE "$ENV{XDG_CONFIG_HOME}")
    set(dir "$ENV{XDG_CONFIG_HOME}/gloamyard-build")
  else()
    set(dir "$ENV{HOME}/.config/gloamyard-build")
  endif()
  set(key "${dir}/package-signing-key.pem")
  if(NOT EXISTS "${key}")
    file(MAKE_DIRECTORY "${dir}")
    # Made under umask 077 so the private key is never readable by others,
    # not even for a moment; written beside and renamed so a half-written
    # key never stays behind.
    execute_process(
      COMMAND sh -c "umask 077 && \"$0\" genpkey -algorithm ED25519 -out \"$1.new\" && mv \"$1.new\" \"$1\""
              "${GLOAMYARD_OPENSSL}" "${key}"
      RESULT_VARIABLE made)
    if(NOT made EQUAL 0)
      message(FATAL_ERROR "Could not make the package signing key ${key}")
    endif()
    message(STATUS "Made a local package signing key: ${key}")
  endif()
  set(${out} "${key}" PARENT_SCOPE)
endfunction()

if(GLOAMYARD_SIGNING_KEY)
  set(GLOAMYARD_PACKAGE_KEY "${GLOAMYARD_SIGNING_KEY}")
else()
  gloamyard_local_signing_key(GLOAMYARD_PACKAGE_KEY)
endif()
if(NOT EXISTS "${GLOAMYARD_PACKAGE_KEY}")
  message(FATAL_ERROR "The package signing key ${GLOAMYARD_PACKAGE_KEY} does not exist")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${GLOAMYARD_PACKAGE_KEY}")

set(der "${CMAKE_CURRENT_BINARY_DIR}/package-signing-key.pub.der")
execute_process(
  COMMAND "${GLOAMYARD_OPENSSL}" pkey -in "${GLOAMYARD_PACKAGE_KEY}" -pubout -outform DER -out "${der}"
  RESULT_VARIABLE exported ERROR_VARIABLE why)
file(READ "${der}" der_hex HEX)
string(LENGTH "${der_hex}" der_length)
# An Ed25519 public key in DER is 44 bytes: a 12-byte header and the key.
if(NOT exported EQUAL 0 OR NOT der_length EQUAL 88 OR NOT der_hex MATCHES "^302a300506032b6570032100")
  message(FATAL_ERROR "${GLOAMYARD_PACKAGE_KEY} is not an Ed25519 private key: ${why}")
endif()
string(SUBSTRING "${der_hex}" 24 64 GLOAMYARD_PACKAGE_PUBLIC_KEY)
file(SHA256 "${der}" der_sha)
string(SUBSTRING "${der_sha}" 0 10 GLOAMYARD_PACKAGE_TEAM)
string(TOUPPER "${GLOAMYARD_PACKAGE_TEAM}" GLOAMYARD_PACKAGE_TEAM)
message(STATUS "Package signing key id: ${GLOAMYARD_PACKAGE_TEAM}")
