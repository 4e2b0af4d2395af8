# cmake -DFROM=<folder> -DTO=<folder> -P CopyMissing.cmake copies the files of
# FROM that TO lacks, byte for byte; a file TO already has is left as it is.
file(MAKE_DIRECTORY ${TO})
file(GLOB _files LIST_DIRECTORIES false ${FROM}/*)
foreach(_file IN LISTS _files)
  get_filename_component(_name ${_file} NAME)
  if(NOT EXISTS ${TO}/${_name})
    file(COPY_FILE ${_file} ${TO}/${_name})
  endif()
endforeach()
