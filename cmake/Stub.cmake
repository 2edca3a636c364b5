# Keeping the stub small (win32 build).

# Compile options for the given targets in the win32 build only.
function(sfx_win32_options options)
  if(SFX_WIN32)
    foreach(target ${ARGN})
      target_compile_options(${target} PRIVATE ${options})
    endforeach()
  endif()
endfunction()

# Code that no exception crosses needs no unwind tables: exceptions stay inside the decoder
# (caught where they are raised) and the division routine, so everything else drops them.
function(sfx_no_unwind_tables)
  sfx_win32_options("-fno-exceptions;-fno-asynchronous-unwind-tables" ${ARGN})
endfunction()

# The stub's code, made smaller. Nothing in it asks an object for its type, so it goes without
# run-time type information (type names, the dynamic cast's runtime); thrown types still get what
# catching needs. Constructors and destructors are not shared between the complete object and
# the base part: a shared one keeps the tables of virtual operations of every class above the
# most derived ones alive, though only the most derived are ever built.
function(sfx_lean_code)
  sfx_win32_options("-fno-rtti;-fno-declone-ctor-dtor" ${ARGN})
endfunction()

# The stub starts no thread: it links the runtime libraries of the win32 thread model, so the
# posix model's winpthread (which GoogleTest needs elsewhere in this build) stays out of it.
function(sfx_link_win32_thread_model target)
  string(REPLACE "-posix" "-win32" gcc "${CMAKE_C_COMPILER}")
  execute_process(COMMAND ${gcc} -print-libgcc-file-name OUTPUT_VARIABLE libgcc
                  OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status ERROR_QUIET)
  if(status EQUAL 0 AND EXISTS "${libgcc}")
    get_filename_component(dir "${libgcc}" DIRECTORY)
    target_link_options(${target} PRIVATE -L${dir})
  else()
    message(WARNING "no win32 thread model runtime: the stub links winpthread")
  endif()
endfunction()
