# The hardening Debian builds its packages with, whatever the compiler's own
# defaults: position-independent executables, a read-only relocation table
# bound at start-up, a stack protector, and glibc's checked string and memory
# functions. Programs that take bytes from a box, a file or a server should
# not make an overflow easy to turn into control.
include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_compile_options(-fstack-protector-strong)
add_link_options(LINKER:-z,relro LINKER:-z,now)

# The checked functions need optimisation (without it glibc warns, and
# warnings are errors) and would hide accesses from the sanitizers, which
# check them better. Undefined first: a compiler that defines its own level
# would otherwise warn of a redefinition.
if(NOT VANTREL_SANITIZE AND NOT VANTREL_FUZZ)
    add_compile_options(
        "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
endif()
