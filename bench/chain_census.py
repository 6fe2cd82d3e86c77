#!/usr/bin/python3
"""Fails unless the floor's chain, as compiled, is the kernel's program.

   chain_census.py OBJDUMP ENGINE_BENCH [FOLDER]

With FOLDER, it also writes each pass loop's instructions there, for
llvm-mca (docs/speed.md), and prints each loop's instructions by class.

Each scheme's pass is a loop in the compiled code. The loops of the chain
(passfloor::runChain) must hold, kind by kind, as many additions,
subtractions, products, divisions, roots and minimums as those of the AVX2
kernel (runAvx2), where every operation is one instruction on all lanes.
A chain that the compiler shortened, by folding an operation, dropping one
whose result goes nowhere, or merging the lanes' compares, has fewer.
"""
import collections
import re
import subprocess
import sys

KINDS = re.compile(r"v?(add|sub|mul|div|sqrt|min|u?comi)[sp]d$")
CLASSES = [("arithmetic", r"v?(add|sub|mul|div|sqrt|min|u?comi)[sp]d$"),
           ("shuffle", r"v?(perm|shuf|unpck|blend|insert|extract|broadcast|movddup)"),
           ("logic", r"v?(and|andn|or|xor)p"), ("move", r"v?mov"), ("branch", r"j")]


def pass_loops(disassembly, function, folder=None):
    """The kinds counted in each innermost loop of FUNCTION that divides."""
    text = next((f for f in re.split(r"\n(?=[0-9a-f]+ <)", disassembly)
                 if re.match(r"[0-9a-f]+ <[^>]*\b" + function + r"\(", f)), None)
    if text is None:
        sys.exit(f"no function {function} in the disassembly")
    code = [(int(a, 16), op, args) for a, op, args in
            re.findall(r"^\s*([0-9a-f]+):\s*(\S+)(.*)", text, re.MULTILINE)]
    targets = dict(re.findall(r"^\s*([0-9a-f]+):\s*j\S*\s+([0-9a-f]+) <", text, re.MULTILINE))
    back = [(int(t, 16), int(a, 16)) for a, t in targets.items() if int(t, 16) <= int(a, 16)]
    loops = []
    for head, end in back:
        if any(head < other <= end for other, _ in back):
            continue  # encloses another loop
        kinds = collections.Counter()
        body = [(op, args) for address, op, args in code if head <= address <= end]
        for op, _ in body:
            match = KINDS.match(op)
            if match:
                # A compare with a branch is the scalar form of a minimum.
                kinds["min" if "comi" in match.group(1) else match.group(1)] += 1
        if kinds["div"] and folder:
            classes = collections.Counter(next((c for c, p in CLASSES if re.match(p, op)), "other")
                                          for op, _ in body)
            print(f"{function}, {kinds['div']} divisions: {len(body)} instructions, {dict(classes)}")
            with open(f"{folder}/{function}-{kinds['div']}.s", "w") as out:
                out.writelines(f"{op} {re.sub(r'#.*|<.*', '', args).strip()}\n"
                               for op, args in body if not op.startswith("j"))
        if kinds["div"]:
            loops.append(dict(sorted(kinds.items())))
    return sorted(loops, key=lambda k: k["div"])


def main():
    objdump, binary, folder = (sys.argv[1:] + [None])[:3]
    disassembly = subprocess.run([objdump, "-d", "--no-show-raw-insn", "-C", binary],
                                 check=True, stdout=subprocess.PIPE, text=True).stdout
    kernel = pass_loops(disassembly, "runAvx2", folder)
    chain = pass_loops(disassembly, "runChain", folder)
    for name, loops in ("kernel", kernel), ("chain", chain):
        print(f"{name}: " + "; ".join(str(k) for k in loops))
    if len(kernel) != 3 or kernel != chain:
        sys.exit("the chain's passes are not the kernel's operations (above): a pass of "
                 "each scheme, kind by kind, must be the same")
    print("the chain's passes hold the kernel's operations, kind by kind")


main()
