# Lists every function and datum the installed headers offer (the HESTREL_API
# declarations and the members of HESTREL_API classes) and writes a C++ source
# that takes the address of each, so linking it proves each is exported.
#
# usage: interface_list.py INCLUDE_DIR EXPORTS_DIR OUT_CPP
# Fails (exit 1) when the headers and the export lists disagree.
import glob
import os
import re
import sys

# Exported on purpose but declared in no public header: the file services'
# internal reporting route and handle, and what the compiler makes for the
# store's class.
NOT_DECLARED = {
    "failure",
    "errHand_zkfile",
    "vtable for ZKPREF",
    "typeinfo for ZKPREF",
    "typeinfo name for ZKPREF",
}


def strip_comments(text):
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    return re.sub(r"//[^\n]*", "", text)


def statements(text):
    """Yields (scope event or statement) from a header in the house style:
    namespace and class openings, their closings, and ';'-ended statements."""
    lines = [l for l in text.split("\n") if not l.lstrip().startswith("#")]
    text = "\n".join(lines)
    text = re.sub(r"__attribute__\s*\(\((?:[^()]|\([^()]*\))*\)\)", " ", text)
    pos = 0
    buf = ""
    depth_body = 0  # braces of an inline body or initializer being skipped
    while pos < len(text):
        c = text[pos]
        pos += 1
        if depth_body:
            if c == "{":
                depth_body += 1
            elif c == "}":
                depth_body -= 1
                if depth_body == 0:
                    buf = ""
            continue
        if c == "{":
            head = " ".join(buf.split())
            m = re.match(r'^(?:namespace\s+([\w:]+)|extern "C")$', head)
            if m:
                yield ("open", "namespace", m.group(1) or "")
                buf = ""
                continue
            m = re.match(r"^(?:template\s*<[^>]*>\s*)?(class|struct)\s+(HESTREL_API\s+)?(\w+)\b[^;]*$", head)
            if m and "(" not in head:
                yield ("open", m.group(1), (m.group(3), bool(m.group(2)), head.startswith("template")))
                buf = ""
                continue
            if head.startswith("enum") or head.startswith("typedef"):
                # A definition of its own; skip its braces whole.
                depth_body = 1
                buf = ""
                continue
            depth_body = 1  # an inline function body: not an exported declaration
            continue
        if c == "}":
            yield ("close", None, None)
            buf = ""
            continue
        if c == ";":
            s = " ".join(buf.split())
            buf = ""
            if s:
                yield ("stmt", s, None)
            continue
        if c == ":" and re.fullmatch(r"\s*(public|private|protected)\s*", buf):
            yield ("access", buf.strip(), None)
            buf = ""
            continue
        buf += c


def params_without_defaults(params):
    out, depth, cur = [], 0, ""
    for ch in params:
        if ch in "(<[":
            depth += 1
        elif ch in ")>]":
            depth -= 1
        if ch == "," and depth == 0:
            out.append(cur)
            cur = ""
        else:
            cur += ch
    if cur.strip():
        out.append(cur)
    return [re.sub(r"\s*=.*$", "", p).strip() for p in out]


def split_decl(s):
    """'ret name(params) quals' -> (ret, name, params, quals) or None."""
    depth = 0
    for i, ch in enumerate(s):
        if ch == "(":
            if depth == 0:
                head = s[:i].rstrip()
                m = re.match(r"^(.*?)((?:~?[\w]+(?:<[^()]*>)?)|operator\s*[^\s(]+)$", head)
                if not m:
                    return None
                # The matching ')' of the parameter list.
                d, j = 0, i
                while j < len(s):
                    if s[j] == "(":
                        d += 1
                    elif s[j] == ")":
                        d -= 1
                        if d == 0:
                            break
                    j += 1
                return m.group(1).strip(), m.group(2).replace(" ", ""), s[i + 1:j], s[j + 1:].strip()
            depth += 1
    return None


def main(include_dir, exports_dir, out_cpp):
    headers = sorted(glob.glob(os.path.join(include_dir, "*.h")) + glob.glob(os.path.join(include_dir, "*.hpp")))
    entries = []  # (qualified name, expression taking its address)
    for path in headers:
        scope = []  # (kind, name, exported class?, access)
        for kind, a, b in statements(strip_comments(open(path).read())):
            if kind == "open":
                if a == "namespace":
                    scope.append(["namespace", b, False, "public", False])
                else:
                    name, exported, templ = b
                    scope.append([a, name, exported, "private" if a == "class" else "public", templ])
                continue
            if kind == "close":
                if scope:
                    scope.pop()
                continue
            if kind == "access":
                if scope:
                    scope[-1][3] = a
                continue
            s = a
            in_class = scope and scope[-1][0] in ("class", "struct")
            ns = "::".join(x[1] for x in scope if x[0] == "namespace" and x[1])
            if in_class:
                cls = scope[-1]
                if not cls[2] or cls[4] or cls[3] != "public":
                    continue
                if re.search(r"=\s*(delete|default)$", s) or s.startswith(("friend", "using", "typedef", "template")):
                    continue
                qual_class = "::".join(x for x in [ns, cls[1]] if x)
                is_static = s.startswith("static ")
                s2 = re.sub(r"^(static|virtual|explicit|inline)\s+", "", s)
                s2 = re.sub(r"^(static|virtual|explicit|inline)\s+", "", s2)
                d = split_decl(s2)
                if d is None:
                    # A static data member.
                    m = re.match(r"^(.*\S)\s+(\w+)$", s2)
                    if is_static and m:
                        entries.append((qual_class + "::" + m.group(2), "&" + qual_class + "::" + m.group(2), ns))
                    continue
                ret, name, params, quals = d
                quals = re.sub(r"\b(noexcept|override|final)\b", "", quals).strip()
                q = qual_class + "::" + name
                plist = params_without_defaults(params)
                if name == cls[1]:  # constructor
                    named = []
                    for i, p in enumerate(plist):
                        if p in ("", "void"):
                            continue
                        # Unnamed parameters get a name of their own.
                        named.append(p if re.search(r"\w\s*$", p) and len(p.split()) > 1 and not p.endswith(("&", "*")) and not re.fullmatch(r"(const\s+)?(unsigned\s+)?\w+(::\w+)*", p) else p + " a%d" % i)
                    args = ", ".join(re.search(r"(\w+)$", p).group(1) for p in named)
                    fwd = ", ".join(
                        ("std::move(%s)" % re.search(r"(\w+)$", p).group(1)) if "&&" in p else re.search(r"(\w+)$", p).group(1)
                        for p in named)
                    entries.append((q, "static_cast<void (*)(void *%s)>([](void *where%s) { ::new (where) %s(%s); })" % (
                        "".join(", " + re.sub(r"\s*\w+$", "", p) for p in named),
                        "".join(", " + p for p in named), qual_class, fwd), ns))
                    continue
                if name == "~" + cls[1]:
                    entries.append((qual_class + "::" + name, "static_cast<void (*)(%s *)>([](%s *p) { p->~%s(); })" % (
                        qual_class, qual_class, cls[1]), ns))
                    continue
                if is_static:
                    entries.append((q, "static_cast<%s (*)(%s)>(&%s)" % (ret, ", ".join(plist), q), ns))
                else:
                    entries.append((q, "static_cast<%s (%s::*)(%s) %s>(&%s)" % (ret, qual_class, ", ".join(plist), quals, q), ns))
                continue
            if scope and scope[-1][0] in ("class", "struct"):
                continue
            # "extern template R Class::member<T>(params) const": an instance
            # of a member template that the library provides.
            m = re.match(r"^extern\s+template\s+(.*?)\s+(\w+)::(\w+<.*?>)\((.*)\)\s*(const)?$", s)
            if m:
                ret, cls, member, params, quals = m.groups()
                qc = "::".join(x for x in [ns, cls] if x)
                entries.append((qc + "::" + member, "static_cast<%s (%s::*)(%s) %s>(&%s::%s)" % (
                    ret, cls, ", ".join(params_without_defaults(params)), quals or "", cls, member), ns))
                continue
            if "HESTREL_API" not in s:
                continue
            s = re.sub(r"\bHESTREL_API\s+", "", s)
            qn = lambda n: "::".join(x for x in [ns, n] if x)
            d = split_decl(s)
            if d is None:
                m = re.match(r"^extern\s+(.*\S)\s+(\w+)$", s)
                if m:
                    entries.append((qn(m.group(2)), "&" + qn(m.group(2)), ns))
                continue
            ret, name, params, quals = d
            entries.append((qn(name), "static_cast<%s (*)(%s)>(&%s)" % (
                ret, ", ".join(params_without_defaults(params)), "::" + qn(name)), ns))

    # The export lists, without the ABI tags the headers do not spell.
    exported = set()
    for f in sorted(glob.glob(os.path.join(exports_dir, "*.txt"))):
        for line in open(f):
            line = line.strip()
            if line and not line.startswith("#"):
                line = line.replace("[abi:cxx11]", "")
                line = line.replace("std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> >",
                                    "std::string").replace("std::string >", "std::string>")
                exported.add(line)
    declared = {q for q, _, _ in entries}
    problems = []
    for q in sorted(declared - exported):
        problems.append("declared in a public header but in no export list: " + q)
    for q in sorted(exported - declared - NOT_DECLARED):
        problems.append("exported but declared in no public header: " + q)
    for p in problems:
        print(p)
    if problems:
        return 1

    with open(out_cpp, "w") as out:
        out.write("// Generated from the installed headers: the address of every function and\n")
        out.write("// datum they offer, so that linking proves each is exported.\n")
        for h in headers:
            out.write("#include <hestrel/%s>\n" % os.path.basename(h))
        out.write("\n#include <cstdio>\n#include <new>\n#include <utility>\n\n")
        # Each address goes to a volatile sink, which the optimizer may not drop.
        out.write("template <typename T>\nvolatile T sink{};\n")
        out.write("template <typename T>\nstatic void keep(T value) {\n  sink<T> = value;\n}\n\n")
        # Each use sits in its declaration's namespace, where the header's own
        # spelling of the types holds.
        for n, (q, expr, ns) in enumerate(entries):
            body = "void use_%d() { ::keep(%s); }  // %s\n" % (n, expr, q)
            out.write("namespace %s {\n%s}\n" % (ns, body) if ns else body)
        out.write("\nint main() {\n")
        for n, (q, expr, ns) in enumerate(entries):
            out.write("  %suse_%d();\n" % (ns + "::" if ns else "", n))
        out.write('  std::printf("%%d names\\n", %d);\n' % len(entries))
        out.write("  return 0;\n}\n")
    print("%d names declared, all exported" % len(entries))
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
