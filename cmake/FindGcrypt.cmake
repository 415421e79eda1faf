# Finds libgcrypt and libgpg-error (Debian: libgcrypt20-dev; for the Windows cross build
# libgcrypt-mingw-w64-dev, linked statically). Defines the imported target Gcrypt::Gcrypt.
find_path(GCRYPT_INCLUDE_DIR gcrypt.h)
if(WIN32)
  # Static archives only: the programs run on a bare Windows without the DLLs.
  find_library(GCRYPT_LIBRARY NAMES libgcrypt.a)
  find_library(GPG_ERROR_LIBRARY NAMES libgpg-error.a)
else()
  find_library(GCRYPT_LIBRARY NAMES gcrypt)
  find_library(GPG_ERROR_LIBRARY NAMES gpg-error)
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Gcrypt REQUIRED_VARS GCRYPT_LIBRARY GPG_ERROR_LIBRARY GCRYPT_INCLUDE_DIR)

if(Gcrypt_FOUND AND NOT TARGET Gcrypt::Gcrypt)
  add_library(Gcrypt::GpgError UNKNOWN IMPORTED)
  set_target_properties(Gcrypt::GpgError PROPERTIES IMPORTED_LOCATION ${GPG_ERROR_LIBRARY})
  if(WIN32)
    # The static libgpg-error uses Winsock and the advapi registry calls.
    set_property(TARGET Gcrypt::GpgError PROPERTY INTERFACE_LINK_LIBRARIES ws2_32 advapi32)
  endif()
  add_library(Gcrypt::Gcrypt UNKNOWN IMPORTED)
  set_target_properties(Gcrypt::Gcrypt PROPERTIES IMPORTED_LOCATION ${GCRYPT_LIBRARY}
                        INTERFACE_INCLUDE_DIRECTORIES ${GCRYPT_INCLUDE_DIR}
                        INTERFACE_LINK_LIBRARIES Gcrypt::GpgError)
endif()
mark_as_advanced(GCRYPT_INCLUDE_DIR GCRYPT_LIBRARY GPG_ERROR_LIBRARY)
