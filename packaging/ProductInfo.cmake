# Who makes Pingora and where to find them, for both platforms' packages. The addresses are
# written once, in core/ProductInfo.h.
set(PINGORA_VENDOR "Team Wrenfield")

function(pingora_read_product_info name variable)
    file(STRINGS ${CMAKE_SOURCE_DIR}/core/ProductInfo.h line REGEX "${name} = ")
    string(REGEX REPLACE ".*QStringLiteral\\(\"([^\"]+)\"\\).*" "\\1" value "${line}")
    if(value STREQUAL "" OR value STREQUAL line)
        message(FATAL_ERROR "cannot read ${name} from core/ProductInfo.h")
    endif()
    set(${variable} "${value}" PARENT_SCOPE)
endfunction()
pingora_read_product_info(kHomePage PINGORA_HOMEPAGE)
pingora_read_product_info(kContactPage PINGORA_CONTACT_PAGE)
pingora_read_product_info(kSupportEmail PINGORA_SUPPORT_EMAIL)
