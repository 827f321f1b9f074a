#!/usr/bin/env python3
"""Holds our Win32 headers (platform/winsim/include) against MinGW-w64's.

Every constant our headers define (object-like macros, value macros applied
to sample arguments, enumerators), the names that other macros stand for,
every type's size, signedness and pointer-ness, and every structure's size,
alignment, field offsets and field sizes go into one list, written as one
C++ source. That source is compiled against our headers by the host compiler
and against MinGW's by i686 and x86_64 MinGW-w64, with the defines of the
win32 build (WINVER, _WIN32_WINNT and _WIN32_IE 0x0500). The list is constant
data in a section of its own: the values are read back from each object
file, so that nothing is run.

Windows' value of an entry is what i686 MinGW gives at 0x0500; a name that
Windows 2000's headers lack is looked up in the newest headers (0x0A00).
Where x86_64 gives another value, the value depends on the pointer width,
and ours, which have the host's 64-bit pointers, must give x86_64's.

Usage: match_mingw.py --ours DIR --work DIR --host-cxx CXX --host-objcopy OBJCOPY
                      --host-objdump OBJDUMP --mingw32 CXX --mingw64 CXX
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys

SECTION = ".hdrlist"
NAME_SIZE = 120
RECORD = struct.Struct("<qq%ds" % NAME_SIZE)

# Kinds of record in the section.
NUMBER, TEXT, UNDEFINED, DEFINED, TYPE_KIND = 1, 2, 3, 4, 5

# What the generated type_kind<T>() reports of a type, bit by bit.
TYPE_KIND_BITS = ("integer", "signed", "pointer", "to const", "struct", "union", "enum", "array", "floating")
TYPE_KIND_FUNCTION = """template <typename T> constexpr long long type_kind() {
  typedef typename std::remove_all_extents<T>::type E;
  return std::is_integral<E>::value | std::is_signed<E>::value << 1 | std::is_pointer<E>::value << 2 |
         std::is_const<typename std::remove_pointer<E>::type>::value << 3 | std::is_class<E>::value << 4 |
         std::is_union<E>::value << 5 | std::is_enum<E>::value << 6 | std::is_array<T>::value << 7 |
         std::is_floating_point<E>::value << 8;
}"""

# The C run-time's <string.h> stands beside our headers; it is not Windows'.
NOT_WINDOWS_HEADERS = {"string.h"}
# Included first, as programs do; the others need its types.
FIRST_HEADER = "windows.h"

KEYWORDS = {"sizeof", "int", "long", "short", "char", "unsigned", "signed", "void", "const"}
# Arguments of the value macros: wider than 16 bits, negative, and just above
# 16 bits (where IS_INTRESOURCE and the like turn).
SAMPLE_ARGUMENTS = (("0x12345678", "0x9ABCDEF0", "0x0FEDCBA9"), ("-2", "-3", "-4"), ("0x1ABCD", "0x2BCDE", "0x3CDEF"))


class Entry:
    def __init__(self, name, expr, kind=NUMBER, guard=None):
        self.name = name  # the entry as reported, e.g. "offsetof(MSG, wParam)"
        self.expr = expr  # C++ expression of the value, or of the string
        self.kind = kind  # NUMBER, TEXT, DEFINED or TYPE_KIND
        self.guard = guard  # macro that must be defined for the entry


def strip_comments(text):
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    text = re.sub(r"//[^\n]*", "", text)
    return re.sub(r"\\\n", " ", text)


def split_top(text, sep):
    """Splits text at sep outside braces, brackets and parentheses."""
    parts, depth, start = [], 0, 0
    for i, c in enumerate(text):
        if c in "{([":
            depth += 1
        elif c in "})]":
            depth -= 1
        elif c == sep and depth == 0:
            parts.append(text[start:i])
            start = i + 1
    parts.append(text[start:])
    return [p.strip() for p in parts if p.strip()]


def declarator_name(decl):
    """The name a declarator declares: '*LPRECT' -> LPRECT, 'a[8]' -> a."""
    decl = re.sub(r"\[[^\]]*\]", "", decl)
    fn = re.search(r"\(\s*\w*\s*\*\s*(\w+)\s*\)", decl)
    if fn:
        return fn.group(1)
    return re.findall(r"\w+", decl)[-1]


class Headers:
    """What our headers define: macros, types, structures and enumerators."""

    def __init__(self, folder):
        self.files = sorted(f for f in os.listdir(folder) if f.endswith(".h") and f not in NOT_WINDOWS_HEADERS)
        self.macros = {}  # name -> (params or None, body)
        self.types = []  # typedef names, in order
        self.tags = []  # struct and union tags
        self.structs = []  # (name, [field paths])
        self.enumerators = []
        for f in [FIRST_HEADER] + [f for f in self.files if f != FIRST_HEADER]:
            self.parse(strip_comments(open(os.path.join(folder, f)).read()))

    def parse(self, text):
        for m in re.finditer(r"^[ \t]*#[ \t]*define[ \t]+(\w+)(\([^)]*\))?(.*)$", text, flags=re.M):
            params = None if m.group(2) is None else [p.strip() for p in m.group(2)[1:-1].split(",") if p.strip()]
            self.macros.setdefault(m.group(1), (params, m.group(3).strip()))
        code = re.sub(r"^[ \t]*#.*$", "", text, flags=re.M)
        for stmt in split_top(self.without_blocks(code), ";"):
            self.statement(stmt)

    def without_blocks(self, code):
        """The code without extern "C" braces and inline function bodies."""
        while True:
            m = re.search(r'extern\s+"C"\s*\{', code)
            if not m:
                break
            close = self.matching_brace(code, m.end() - 1)
            code = code[:m.start()] + code[m.end():close] + code[close + 1:]
        while True:
            m = re.search(r"\)\s*(const\s*)?\{", code)
            if not m:
                return code
            close = self.matching_brace(code, m.end() - 1)
            code = code[:m.end() - 1] + ";" + code[close + 1:]

    def statement(self, stmt):
        handle = re.match(r"DECLARE_HANDLE\((\w+)\)$", stmt)
        if handle:
            self.types.append(handle.group(1))
            return
        if not stmt.startswith("typedef"):  # functions, forward declarations
            return
        body = stmt[len("typedef"):].strip()
        record = re.match(r"(struct|union|enum)\s*(\w*)\s*\{", body)
        if record:
            close = self.matching_brace(body, record.end() - 1)
            inner, decls = body[record.end():close], split_top(body[close + 1:], ",")
            names = [declarator_name(d) for d in decls]
            if record.group(1) == "enum":
                self.enumerators += [re.match(r"\w+", e).group(0) for e in split_top(inner, ",")]
            else:
                if record.group(2):
                    self.tags.append(record.group(2))
                plain = [declarator_name(d) for d in decls if "*" not in d]
                self.structs.append((plain[0], self.fields(inner)))
            self.types += names
            return
        self.types += [declarator_name(d) for d in split_top(body, ",")]

    @staticmethod
    def matching_brace(text, at):
        depth = 0
        for i in range(at, len(text)):
            depth += {"{": 1, "}": -1}.get(text[i], 0)
            if depth == 0:
                return i
        raise ValueError("unbalanced braces: " + text[:60])

    def fields(self, body, prefix=""):
        paths = []
        for member in split_top(body, ";"):
            nested = re.match(r"(struct|union)\s*\w*\s*\{", member)
            if nested:
                close = self.matching_brace(member, nested.end() - 1)
                name = prefix + declarator_name(member[close + 1:])
                paths.append(name)
                paths += self.fields(member[nested.end():close], name + ".")
            else:
                paths.append(prefix + declarator_name(member))
        return paths

    def identifiers_known(self, body, params=()):
        known = set(self.macros) | set(self.types) | set(self.enumerators) | KEYWORDS | set(params)
        idents = re.findall(r"\b[A-Za-z_]\w*\b", re.sub(r"\b0[xX][0-9a-fA-F]+[uUlL]*|\b\d+[uUlL]*", "", body))
        return all(i in known for i in idents)

    def resolves_to_string(self, name, seen=()):
        params, body = self.macros[name]
        if params is None and body.startswith('"'):
            return True
        return params is None and body in self.macros and body not in seen and \
            self.resolves_to_string(body, seen + (name,))

    def value_macro_arity(self, name, seen=()):
        """Number of parameters of a macro that computes a value from its
        arguments alone, or None."""
        params, body = self.macros[name]
        if params is None and body in self.macros and body not in seen:
            return self.value_macro_arity(body, seen + (name,))
        if params is None or not params or re.search(r"[{;]|\(\s*\*", body):  # statements, dereferences
            return None
        return len(params) if self.identifiers_known(body, params) else None

    def entries(self):
        out = []
        for name, (params, body) in self.macros.items():
            arity = self.value_macro_arity(name)
            if arity is not None:
                for sample in SAMPLE_ARGUMENTS:
                    call = "%s(%s)" % (name, ", ".join(sample[:arity]))
                    out.append(Entry(call, call, NUMBER, name))
            elif params is not None or not body:
                out.append(Entry(name, None, DEFINED, name))
            elif self.resolves_to_string(name):
                out.append(Entry(name, name, TEXT, name))
            elif self.identifiers_known(body) and body not in self.types and body not in KEYWORDS and \
                    self.macros.get(body, (None,))[0] is None:
                out.append(Entry(name, name, NUMBER, name))
            else:  # another name for a function, a type or a keyword: the name it expands to
                out.append(Entry(name, "HEADER_TEXT(%s)" % name, TEXT, name))
        out += [Entry(e, e) for e in self.enumerators]
        for t in self.types:
            out.append(Entry("sizeof(%s)" % t, "sizeof(%s)" % t))
            out.append(Entry("kind(%s)" % t, "type_kind<%s>()" % t, TYPE_KIND))
        for tag in self.tags:
            out.append(Entry("sizeof(struct %s)" % tag, "sizeof(%s)" % tag))
        for name, fields in self.structs:
            out.append(Entry("alignof(%s)" % name, "alignof(%s)" % name))
            for f in fields:
                out.append(Entry("offsetof(%s, %s)" % (name, f), "offsetof(%s, %s)" % (name, f)))
                out.append(Entry("sizeof(%s.%s)" % (name, f), "sizeof(((%s*)0)->%s)" % (name, f)))
                out.append(Entry("kind(%s.%s)" % (name, f), "type_kind<decltype(((%s*)0)->%s)>()" % (name, f),
                                 TYPE_KIND))
        return out


def c_string(s):
    return '"%s"' % s.replace("\\", "\\\\").replace('"', '\\"')


def write_source(path, headers, entries):
    lines = ["// Written by match_mingw.py: every value our headers define, as constant data.",
             "#include <%s>" % FIRST_HEADER]
    lines += ["#include <%s>" % f for f in headers.files if f != FIRST_HEADER]
    lines += ["#include <stddef.h>", "#include <type_traits>", "",
              "#define HEADER_TEXT_(x) #x", "#define HEADER_TEXT(x) HEADER_TEXT_(x)", TYPE_KIND_FUNCTION,
              "struct HeaderValue { long long value; long long kind; char name[%d]; };" % NAME_SIZE,
              'extern "C" const HeaderValue header_values[] __attribute__((section("%s"), used)) = {' % SECTION]
    for e in entries:
        if len(e.name) >= NAME_SIZE - 40:
            raise ValueError("entry name too long: " + e.name)
        if e.kind in (NUMBER, TYPE_KIND):
            record = "{(long long)(%s), %d, %s}" % (e.expr, e.kind, c_string(e.name))
        elif e.kind == TEXT:
            record = '{0, %d, %s "\\0" %s}' % (TEXT, c_string(e.name), e.expr)
        else:
            record = "{0, %d, %s}" % (DEFINED, c_string(e.name))
        if e.guard:
            lines += ["#ifdef %s" % e.guard, "  " + record + ",", "#else",
                      "  {0, %d, %s}," % (UNDEFINED, c_string(e.name)), "#endif"]
        else:
            lines.append("  " + record + ",")
    lines += ["};", ""]
    with open(path, "w") as f:
        f.write("\n".join(lines))


def tool_beside(compiler, tool):
    """objcopy or objdump of the same toolchain: i686-w64-mingw32-g++ ->
    i686-w64-mingw32-objcopy."""
    path = re.sub(r"(g\+\+|c\+\+)(-[\d.]+)?$", tool, compiler)
    return shutil.which(path) or sys.exit("no %s beside %s" % (tool, compiler))


class Build:
    def __init__(self, label, cxx, flags, objcopy, objdump):
        self.label, self.cxx, self.flags, self.objcopy, self.objdump = label, cxx, flags, objcopy, objdump

    def values(self, source, work, entries):
        obj = os.path.join(work, self.label + ".o")
        compile_cmd = [self.cxx, "-std=c++17", "-w", "-O0", "-DNOMINMAX"] + self.flags + [source]
        run(compile_cmd + ["-c", "-o", obj], "compiling the list against %s" % self.label)
        sections = run([self.objdump, "-h", obj], "listing sections")
        if re.search(r"\s(\.ctors|\.init_array|\.CRT\$X)", sections):
            # The run-time initialiser stores into the records it could not fill.
            asm = run(compile_cmd + ["-S", "-o", "-"], "compiling the list to assembly")
            offsets = {int(o) for o in re.findall(r"\b(\d+)\+_?header_values\b", asm)}
            names = sorted({entries[o // RECORD.size].name for o in offsets if o // RECORD.size < len(entries)})
            sys.exit("%s: not constant there, the list would need run-time initialisation: %s"
                     % (self.label, ", ".join(names) or "(unknown entries)"))
        relocs = run([self.objdump, "-r", "-j", SECTION, obj], "listing relocations")
        if re.search(r"^[0-9a-f]{8,16}\s", relocs, flags=re.M):
            sys.exit("%s: an entry of the list is an address, not a value:\n%s" % (self.label, relocs))
        data_path = obj + ".bin"
        run([self.objcopy, "-O", "binary", "--only-section=" + SECTION, obj, data_path], "reading the list")
        data = open(data_path, "rb").read()
        values = {}
        for i, e in enumerate(entries):
            value, kind, raw = RECORD.unpack_from(data, i * RECORD.size)
            name, _, rest = raw.partition(b"\0")
            if name.decode() != e.name:
                sys.exit("%s: record %d is %r, expected %r" % (self.label, i, name, e.name))
            text = rest.split(b"\0")[0].decode() if kind == TEXT else None
            values[e.name] = None if kind == UNDEFINED else (kind, value, text)
        return values


def run(cmd, what):
    p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if p.returncode:
        sys.exit("%s failed:\n%s\n%s" % (what, " ".join(cmd), p.stdout))
    return p.stdout


def show(v):
    kind, value, text = v
    if kind == TEXT:
        return '"%s"' % text
    if kind == DEFINED:
        return "defined"
    if kind == TYPE_KIND:
        return " ".join(b for i, b in enumerate(TYPE_KIND_BITS) if value >> i & 1) or "other"
    return "%d (0x%X)" % (value, value & 0xFFFFFFFFFFFFFFFF) if abs(value) > 9 else str(value)


def compare(entries, mine, w32, w64, w32_later, w64_later):
    """Our value of each entry against Windows': the faults, the names only
    later Windows defines, and the number of entries checked."""
    faults, later, checked = [], [], 0
    for e in entries:
        have = mine[e.name]
        if have is None:  # a macro our headers leave undefined in this configuration
            continue
        checked += 1
        narrow = w32[e.name] or w32_later[e.name]
        wide = w64[e.name] or w64_later[e.name]
        if not w32[e.name] and narrow:
            later.append(e.name)
        # Ours have the host's 64-bit pointers: where the pointer width
        # changes Windows' value, ours must give x86_64's.
        windows = wide if wide and narrow and wide != narrow else narrow or wide
        if windows is None:
            faults.append("%s: ours %s, not defined by Windows' headers" % (e.name, show(have)))
        elif have != windows:
            source_of = "x86_64" if windows is wide and windows != narrow else "i686"
            faults.append("%s: ours %s, Windows %s (%s)" % (e.name, show(have), show(windows), source_of))
    return faults, later, checked


def main():
    ap = argparse.ArgumentParser()
    for opt in ("ours", "work", "host-cxx", "host-objcopy", "host-objdump", "mingw32", "mingw64"):
        ap.add_argument("--" + opt, required=True)
    args = ap.parse_args()
    os.makedirs(args.work, exist_ok=True)

    headers = Headers(args.ours)
    entries = headers.entries()
    source = os.path.join(args.work, "header_values.cpp")
    write_source(source, headers, entries)

    def mingw(label, cxx, winnt):
        flags = ["-DWINVER=%s" % winnt, "-D_WIN32_WINNT=%s" % winnt, "-D_WIN32_IE=%s" % winnt]
        return Build(label, cxx, flags, tool_beside(cxx, "objcopy"), tool_beside(cxx, "objdump"))

    ours = Build("ours", args.host_cxx, ["-I" + args.ours], args.host_objcopy, args.host_objdump)
    builds = [mingw("i686-0x0500", args.mingw32, "0x0500"), mingw("x86_64-0x0500", args.mingw64, "0x0500"),
              mingw("i686-0x0A00", args.mingw32, "0x0A00"), mingw("x86_64-0x0A00", args.mingw64, "0x0A00")]
    mine = ours.values(source, args.work, entries)
    faults, later, checked = compare(entries, mine, *(b.values(source, args.work, entries) for b in builds))

    print("%d entries of %d headers checked against MinGW-w64" % (checked, len(headers.files)))
    if later:
        print("defined only for Windows after 2000 (_WIN32_WINNT > 0x0500): " + ", ".join(later))
    if faults:
        print("%d differ from Windows:" % len(faults))
        print("\n".join("  " + f for f in faults))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
