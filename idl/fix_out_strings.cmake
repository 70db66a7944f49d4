# Repairs the parameter descriptors of single out strings in a widl -Oif proxy.
#
#   cmake -DIN_FILE=widl/x_p.c -DOUT_FILE=src/x_p.c -DEXPECT="Itf::Method/param,..."
#         [-DIDL_FILE=x.idl] -P fix_out_strings.cmake
#
# widl (7.0, 8.0) describes a parameter such as "[out] LPWSTR *p" by the type
# offset of the string pointer (FC_OP [simple_pointer] FC_C_WSTRING) instead
# of the reference pointer that leads to it. The engine then treats the stack
# slot as the string pointer itself and the caller receives NULL. widl does
# emit the right entry,
#
#   T-4:  0x11, 0x14, NdrFcShort(0x2)    FC_RP [allocated_on_stack] [pointer_deref]
#   T  :  0x13, 0x08, 0x25, 0x5c         FC_OP [simple_pointer] FC_C_WSTRING
#
# so the repair points the parameter at T-4.
#
# Both format strings are decoded byte by byte; widl's offset comments are only
# used to cross-check the decoding and to name procedures and parameters. Every
# out parameter that is neither a base type nor a simple reference must end up
# described by a reference pointer; anything else stops the build. The set of
# repaired parameters must equal EXPECT, so a change in widl's output is noticed
# instead of being shipped.

cmake_minimum_required(VERSION 3.13)

foreach(var IN_FILE OUT_FILE)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "fix_out_strings: ${var} is not set")
    endif()
endforeach()

function(fail)
    string(CONCAT msg ${ARGV})
    message(FATAL_ERROR "fix_out_strings (${IN_FILE}): ${msg}")
endfunction()

# widl builds broken descriptors for [string] combined with size_is on string
# arrays (parameters and struct members); LPWSTR is a string typedef already.
if(DEFINED IDL_FILE)
    file(READ "${IDL_FILE}" idl)
    foreach(re "\\[[^][]*size_is[^][]*[^a-z_]string[^][]*\\]"
               "\\[[^][]*[^a-z_]string[^][]*size_is[^][]*\\]")
        if(idl MATCHES "${re}")
            fail("${IDL_FILE} combines 'string' with 'size_is' in one attribute "
                 "list (${CMAKE_MATCH_0}); widl's proxy for it is broken, drop 'string'")
        endif()
    endforeach()
endif()

file(READ "${IN_FILE}" text)

# Returns the body of "static const ... NAME =\n{ 0, { BODY } };" and its
# offset in the file.
function(format_body name out_body out_pos)
    string(FIND "${text}" "${name} =" pos)
    if(pos EQUAL -1)
        fail("no definition of ${name}")
    endif()
    string(SUBSTRING "${text}" ${pos} -1 rest)
    string(FIND "${rest}" "{" outer)
    math(EXPR after_outer "${outer} + 1")
    string(SUBSTRING "${rest}" ${after_outer} -1 rest2)
    string(FIND "${rest2}" "{" inner)
    string(FIND "${rest2}" "}" close)
    if(inner EQUAL -1 OR close LESS inner)
        fail("unexpected layout of ${name}")
    endif()
    math(EXPR start "${inner} + 1")
    math(EXPR len "${close} - ${start}")
    string(SUBSTRING "${rest2}" ${start} ${len} body)
    math(EXPR abs "${pos} + ${after_outer} + ${start}")
    set(${out_body} "${body}" PARENT_SCOPE)
    set(${out_pos} ${abs} PARENT_SCOPE)
endfunction()

# Decodes a format string body into a list of byte values. Also returns the
# comments that name procedures and parameters, as "offset|comment text".
function(decode body out_bytes out_marks)
    # Brackets would make CMake lists treat ';' specially; comments are the
    # only place they occur and nothing below needs them.
    string(REPLACE "[" "<" body "${body}")
    string(REPLACE "]" ">" body "${body}")
    string(REPLACE ";" ":" body "${body}")
    # Offset comments start a line ("/* 36 (LPWSTR) */"); value comments
    # follow a token ("0x3,\t/* 3 */"). Tag the former.
    string(REPLACE "\n/* " "\n/*@ " body "${body}")
    string(REGEX MATCHALL
        "/\\*([^*]|\\*+[^*/])*\\*+/|NdrFcShort\\([^)]*\\)|NdrFcLong\\([^)]*\\)|0x[0-9a-fA-F]+|[^ \t\r\n,]+"
        tokens "${body}")
    set(bytes "")
    set(marks "")
    set(n 0)
    foreach(tok IN LISTS tokens)
        if(tok MATCHES "^/\\*")
            if(tok MATCHES "^/\\*@ ([0-9]+) ")
                if(NOT CMAKE_MATCH_1 EQUAL n)
                    fail("decoding out of step: comment '${tok}' at byte ${n}")
                endif()
                if(tok MATCHES "\\((procedure|parameter) ")
                    list(APPEND marks "${n}|${tok}")
                endif()
            endif()
        elseif(tok MATCHES "^NdrFcShort\\((0x[0-9a-fA-F]+)\\)$")
            math(EXPR v "${CMAKE_MATCH_1}")
            if(v GREATER 65535)
                fail("bad token ${tok}")
            endif()
            math(EXPR lo "${v} & 255")
            math(EXPR hi "(${v} >> 8) & 255")
            list(APPEND bytes ${lo} ${hi})
            math(EXPR n "${n} + 2")
        elseif(tok MATCHES "^NdrFcLong\\((0x[0-9a-fA-F]+)\\)$")
            math(EXPR v "${CMAKE_MATCH_1}")
            foreach(shift 0 8 16 24)
                math(EXPR b "(${v} >> ${shift}) & 255")
                list(APPEND bytes ${b})
            endforeach()
            math(EXPR n "${n} + 4")
        elseif(tok MATCHES "^0x[0-9a-fA-F]+$")
            math(EXPR v "${tok}")
            if(v GREATER 255)
                fail("bad token ${tok}")
            endif()
            list(APPEND bytes ${v})
            math(EXPR n "${n} + 1")
        else()
            fail("unexpected token '${tok}' in a format string")
        endif()
    endforeach()
    set(${out_bytes} "${bytes}" PARENT_SCOPE)
    set(${out_marks} "${marks}" PARENT_SCOPE)
endfunction()

macro(byte_at list_name idx out)
    list(LENGTH ${list_name} _len)
    if(${idx} LESS 0 OR NOT ${idx} LESS _len)
        fail("offset ${idx} lies outside the format string")
    endif()
    list(GET ${list_name} ${idx} ${out})
endmacro()

macro(short_at list_name idx out)
    byte_at(${list_name} ${idx} _lo)
    math(EXPR _i "${idx} + 1")
    byte_at(${list_name} ${_i} _hi)
    math(EXPR ${out} "${_lo} + 256 * ${_hi}")
endmacro()

format_body(__MIDL_TypeFormatString type_body type_pos)
format_body(__MIDL_ProcFormatString proc_body proc_pos)
decode("${type_body}" tbytes tmarks)
decode("${proc_body}" pbytes pmarks)

set(FC_RP 17)            # 0x11
set(FC_UP 18)            # 0x12
set(FC_OP 19)            # 0x13
set(FC_FP 20)            # 0x14
set(FC_C_CSTRING 34)     # 0x22
set(FC_C_WSTRING 37)     # 0x25
set(PF_OUT 16)           # 0x0010
set(PF_BASETYPE 64)      # 0x0040
set(PF_SIMPLEREF 256)    # 0x0100

set(proc "")
set(repairs "")          # "param_offset|old|new|qualified name"
set(repaired_names "")
foreach(mark IN LISTS pmarks)
    string(REGEX MATCH "^([0-9]+)\\|(.*)$" _ "${mark}")
    set(at ${CMAKE_MATCH_1})
    set(comment "${CMAKE_MATCH_2}")
    if(comment MATCHES "\\(procedure ([^)]+)\\)")
        set(proc "${CMAKE_MATCH_1}")
        continue()
    endif()
    if(NOT comment MATCHES "\\(parameter ([A-Za-z_0-9]+)\\)")
        fail("unreadable parameter comment '${comment}'")
    endif()
    set(param "${proc}/${CMAKE_MATCH_1}")
    short_at(pbytes ${at} flags)
    math(EXPR is_out "${flags} & ${PF_OUT}")
    math(EXPR skip "${flags} & (${PF_BASETYPE} | ${PF_SIMPLEREF})")
    if(NOT is_out OR skip)
        continue()
    endif()
    math(EXPR toff_at "${at} + 4")
    short_at(pbytes ${toff_at} t)
    byte_at(tbytes ${t} kind)
    if(kind EQUAL FC_RP)
        continue()
    endif()
    # The faulty shape: a string pointer right after the reference pointer
    # whose relative offset (2) leads to it.
    math(EXPR t1 "${t} + 1")
    math(EXPR t2 "${t} + 2")
    math(EXPR r "${t} - 4")
    math(EXPR r1 "${t} - 3")
    math(EXPR r2 "${t} - 2")
    byte_at(tbytes ${t1} pflags)
    byte_at(tbytes ${t2} pointee)
    math(EXPR simple "${pflags} & 8")
    set(ok FALSE)
    if((kind EQUAL FC_UP OR kind EQUAL FC_OP OR kind EQUAL FC_FP) AND simple
       AND (pointee EQUAL FC_C_WSTRING OR pointee EQUAL FC_C_CSTRING) AND r GREATER_EQUAL 0)
        byte_at(tbytes ${r} rkind)
        byte_at(tbytes ${r1} rflags)
        short_at(tbytes ${r2} rdelta)
        if(rkind EQUAL FC_RP AND rflags EQUAL 20 AND rdelta EQUAL 2)   # 0x14: on stack, deref
            set(ok TRUE)
        endif()
    endif()
    if(NOT ok)
        fail("out parameter ${param} (format offset ${at}) is described by type "
             "offset ${t} (kind ${kind}), which is not a reference pointer and not "
             "the known out-string fault")
    endif()
    list(APPEND repairs "${at}|${t}|${r}|${param}")
    list(APPEND repaired_names "${param}")
endforeach()

string(REPLACE "," ";" expected "${EXPECT}")
list(SORT expected)
set(found "${repaired_names}")
list(SORT found)
if(NOT "${expected}" STREQUAL "${found}")
    string(REPLACE ";" ", " e "${expected}")
    string(REPLACE ";" ", " f "${found}")
    fail("repaired parameters differ from the expected ones\n"
         "  expected: ${e}\n  found:    ${f}\n"
         "widl's output has changed: inspect the generated format strings "
         "before adjusting the expected list")
endif()

# Rewrite the type offset of each repaired parameter: the third NdrFcShort
# after its "/* N (parameter name) */" comment in the procedure format string.
string(SUBSTRING "${text}" 0 ${proc_pos} head)
string(SUBSTRING "${text}" ${proc_pos} -1 tail)
foreach(rep IN LISTS repairs)
    string(REPLACE "|" ";" f "${rep}")
    list(GET f 0 at)
    list(GET f 1 old)
    list(GET f 2 new)
    list(GET f 3 param)
    string(REGEX MATCH "[^/]+$" pname "${param}")
    set(anchor "/* ${at} (parameter ${pname}) */")
    string(FIND "${tail}" "${anchor}" a)
    string(FIND "${tail}" "${anchor}" a_last REVERSE)
    if(a EQUAL -1 OR NOT a EQUAL a_last)
        fail("cannot locate '${anchor}' exactly once")
    endif()
    string(SUBSTRING "${tail}" ${a} -1 rest)
    set(skipped 0)
    foreach(i 1 2 3)
        string(FIND "${rest}" "NdrFcShort(" k)
        if(k EQUAL -1)
            fail("descriptor of ${param} is truncated")
        endif()
        math(EXPR skipped "${skipped} + ${k}")
        if(i LESS 3)
            math(EXPR k "${k} + 11")
            math(EXPR skipped "${skipped} + 11")
        endif()
        string(SUBSTRING "${rest}" ${k} -1 rest)
    endforeach()
    string(FIND "${rest}" "\n" eol)
    string(SUBSTRING "${rest}" 0 ${eol} line)
    string(SUBSTRING "${rest}" ${eol} -1 after)
    math(EXPR old_hex "${old}" OUTPUT_FORMAT HEXADECIMAL)
    if(NOT line MATCHES "^NdrFcShort\\(${old_hex}\\),")
        fail("descriptor of ${param} reads '${line}', expected type offset ${old_hex}")
    endif()
    math(EXPR new_hex "${new}" OUTPUT_FORMAT HEXADECIMAL)
    set(line "NdrFcShort(${new_hex}),\t/* type offset = ${new} (repaired from ${old}) */")
    math(EXPR pre "${a} + ${skipped}")
    string(SUBSTRING "${tail}" 0 ${pre} before)
    set(tail "${before}${line}${after}")
    message(STATUS "fix_out_strings: ${param}: type offset ${old} -> ${new}")
endforeach()

set(note "/* Out-string parameter descriptors repaired by fix_out_strings.cmake. */\n")
file(WRITE "${OUT_FILE}.tmp" "${note}${head}${tail}")
file(RENAME "${OUT_FILE}.tmp" "${OUT_FILE}")
