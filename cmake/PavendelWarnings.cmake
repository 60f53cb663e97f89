# SPDX-License-Identifier: MIT
# One INTERFACE target carries the warning flags and the Qt defines; every target of ours links it.
add_library(pavendel_warnings INTERFACE)
target_compile_options(pavendel_warnings INTERFACE
    -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wpedantic
    $<$<BOOL:${PAVENDEL_WERROR}>:-Werror>)
target_compile_definitions(pavendel_warnings INTERFACE
    QT_NO_KEYWORDS QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CONTEXTLESS_CONNECT)
