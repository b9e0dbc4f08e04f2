#!/usr/bin/env python3
"""Writes math_table_reference.h and math_routine_reference.h: the expected contents of the math
tables and the expected results of the exactly defined math routines, worked out here from their
definitions alone.

Python floats are IEEE doubles; single-precision rounding goes through struct. One single
operation is emulated as the double operation rounded to single, which is exact for + - * / and
sqrt because a double carries more than twice the bits of a single.

    usage: make_math_reference.py [DIRECTORY]     (default: the folder of this script)
           make_math_reference.py --check [DIRECTORY]  (exit 1 when a header is out of date)
"""

import math
import os
import struct
import sys

INT32_MIN = -(2**31)
INT32_MAX = 2**31 - 1


# --- IEEE helpers -----------------------------------------------------------------------------

def f32(x):
    """x rounded to single precision, overflowing to infinity as the hardware does."""
    if math.isnan(x) or math.isinf(x):
        return x
    try:
        return struct.unpack("<f", struct.pack("<f", x))[0]
    except OverflowError:
        return math.copysign(math.inf, x)


def bits(x):
    return struct.unpack("<I", struct.pack("<f", f32(x)))[0]


def from_bits(n):
    return struct.unpack("<f", struct.pack("<I", n))[0]


def sign_bit(x):
    return bits(x) >> 31


def c_div(a, b):
    """IEEE division, which Python refuses for a zero divisor."""
    if b != 0 or math.isnan(b):
        return a / b
    if a == 0 or math.isnan(a):
        return math.nan
    negative = (math.copysign(1.0, a) < 0) != (math.copysign(1.0, b) < 0)
    return -math.inf if negative else math.inf


def c_pow(x, y):
    """The C library's pow, including the cases where Python raises instead."""
    try:
        return math.pow(x, y)
    except ValueError:
        if x == 0:
            return math.inf  # every base here is +0 or positive
        return math.nan
    except OverflowError:
        return math.inf


def c_sqrt(x):
    if math.isnan(x) or x < 0:
        return math.nan
    return math.sqrt(x)


def truncate(v):
    if math.isnan(v) or math.isinf(v):
        return INT32_MIN
    t = math.trunc(v)
    return t if INT32_MIN <= t <= INT32_MAX else INT32_MIN


def nearest(v):
    if math.isnan(v) or math.isinf(v):
        return INT32_MIN
    r = round(v)  # halfway goes to even
    return r if INT32_MIN <= r <= INT32_MAX else INT32_MIN


def clamp(n):
    return 0 if n < 0 else (255 if n > 255 else n)


# --- Colour and sine tables -------------------------------------------------------------------

S8 = f32(1.0 / 255.0)
S10 = 1.0 / 1023.0
S12 = 1.0 / 1024.0
SINE_STEP = 0.02454369260617026


def sine_table():
    return [f32(math.sin(i * SINE_STEP)) for i in range(256)]


def color_tables(gamma, source_gamma, brightness, overbright_factor):
    """The eight colour tables for single-precision arguments given as doubles."""
    capped = 3.0 if gamma > 3.0 else gamma
    R = f32(c_div(1.0, capped))
    S = f32(c_div(1.0, capped) * source_gamma)
    if brightness <= 0:
        K = 0.125
    elif brightness > 1:
        K = f32(0.05)
    else:
        K = f32(0.125 - 0.075 * (brightness * brightness))
    Q = f32(c_div(1.0, source_gamma))
    M = {2: 0.5, 4: 0.25}.get(overbright_factor, 1.0)
    U = f32(c_div(1.0, gamma))

    source_to_corrected = [clamp(truncate(c_pow(i * S8, S) * 255)) for i in range(256)]

    linear_to_corrected = []
    for i in range(1024):
        x = i * S10
        if brightness > 1:
            x = x * brightness
        if x <= K:
            y = (x / K) * 0.125
        else:
            y = (x - K) / (1 - K) * 0.875 + 0.125
        linear_to_corrected.append(clamp(truncate(c_pow(y, R) * 255)))

    source_to_linear, linear_to_fixed, fixed_to_linear = [], [], []
    fixed_gamma = f32(2.2)
    fixed_reciprocal = f32(1.0 / fixed_gamma)
    assert fixed_reciprocal == 0.45454543828964233
    for i in range(256):
        x = i * S8
        xs = f32(x)
        source_to_linear.append(f32(c_pow(x, source_gamma)))
        linear_to_fixed.append(f32(c_pow(xs, fixed_reciprocal)))
        fixed_to_linear.append(f32(c_pow(xs, fixed_gamma)))

    linear_to_source = [truncate(c_pow(i * S10, Q) * 255) for i in range(1024)]

    overbright, overbright_bytes = [], []
    for i in range(4096):
        w = c_pow(i * S12, U) * M
        overbright.append(1.0 if w > 1 else f32(w))
        overbright_bytes.append(clamp(nearest(f32(w * 255))))

    return {
        "SourceToCorrected": source_to_corrected,
        "LinearToCorrected": linear_to_corrected,
        "SourceToLinear": source_to_linear,
        "LinearToFixedGamma": linear_to_fixed,
        "FixedGammaToLinear": fixed_to_linear,
        "LinearToSource": linear_to_source,
        "OverbrightToCorrected": overbright,
        "OverbrightToCorrectedBytes": overbright_bytes,
    }


# (name, gamma, sourceGamma, brightness, overbrightFactor): the plug-in's arguments, then one
# set per derived value that can change, then arguments that drive the conversions out of range.
ARGUMENT_SETS = [
    ("PluginArguments", 2.2, 2.2, 0.0, 2),
    ("OverbrightFour", 2.2, 2.2, 0.0, 4),
    ("NoOverbright", 2.2, 2.2, 0.0, 3),
    ("GammaAboveCap", 4.0, 2.2, 0.0, 2),
    ("BrightnessHalf", 2.2, 2.2, 0.5, 2),
    ("BrightnessOne", 2.2, 2.2, 1.0, 2),
    ("BrightnessTwo", 2.2, 2.2, 2.0, 2),
    ("OtherSourceGamma", 2.2, 1.8, 0.25, 4),
    # Entry 1747's byte is 200.5 exactly before rounding: halfway goes to the even 200.
    ("HalfwayByte", 1.18, 2.2, 0.75, 2),
    ("ZeroAndNegativeGammas", 0.0, -1.5, -1.0, 2),
    ("NotANumberGamma", math.nan, 2.2, math.nan, 2),
]

FLOAT_TABLES = {"SourceToLinear", "LinearToFixedGamma", "FixedGammaToLinear",
                "OverbrightToCorrected"}
BYTE_TABLES = {"SourceToCorrected", "OverbrightToCorrectedBytes"}
TABLE_ORDER = ["SourceToCorrected", "LinearToCorrected", "SourceToLinear", "LinearToFixedGamma",
               "FixedGammaToLinear", "LinearToSource", "OverbrightToCorrected",
               "OverbrightToCorrectedBytes"]


# --- Polynomial sine and cosine ---------------------------------------------------------------

HALF_PI = f32(math.pi / 2)
TWO_OVER_PI = f32(2 / math.pi)
A1 = f32(math.pi / 2)
A3 = f32(-((math.pi / 2) ** 3) / 6)
A5 = f32(((math.pi / 2) ** 5) / 120)
A7 = f32(-((math.pi / 2) ** 7) / 5040)
assert [bits(c) for c in (A1, A3, A5, A7)] == [0x3FC90FDB, 0xBF255DE7, 0x3DA335E3, 0xBB996966]
assert bits(TWO_OVER_PI) == 0x3F22F983 and bits(HALF_PI) == 0x3FC90FDB


def polynomial(t, negative):
    u = f32(t * t)
    p = f32(f32(u * A7) + A5)
    p = f32(f32(p * u) + A3)
    p = f32(f32(p * u) + A1)
    return f32(p * (-t if negative else t))


def reduce(a):
    if math.isnan(a) or not (INT32_MIN <= a < 2**31):
        q = INT32_MIN
    else:
        q = math.trunc(a)
    f = f32(a - float(q))
    if not f < 1:
        f = 1.0
    return q, f


def sine_and_cosine(angle):
    a = abs(f32(angle * TWO_OVER_PI))
    q, f = reduce(a)
    g = f32(1 - f)
    ts, tc = (f, g) if q % 2 == 0 else (g, f)
    sine_negative = (sign_bit(angle) ^ ((q >> 1) & 1)) == 1
    cosine_negative = ((q + 1) >> 1) & 1 == 1
    return polynomial(ts, sine_negative), polynomial(tc, cosine_negative)


def cosine(angle):
    a = f32(f32(abs(angle) + HALF_PI) * TWO_OVER_PI)
    q, f = reduce(a)
    t = f if q % 2 == 0 else f32(1 - f)
    return polynomial(t, ((q >> 1) & 1) == 1)


class Lcg:
    """A fixed sequence of numbers, the same with every Python."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) % 2**64
        return self.state >> 33

    def uniform(self, low, high):
        return f32(low + (high - low) * (self.next() / 2**31))


def polynomial_angles():
    angles = [0.0, -0.0, 1.0, -1.0, 0.5, -0.5, 1e-30, from_bits(1), 1e-3, 10.0, -10.0, 100.0,
              1000.0, 12345.678, 2.0**23, 2.0**24, 2.0**24 + 2, 1e8, 3.0e9, 3.37e9, 3.38e9,
              -3.38e9, 1e10, 1e20, from_bits(0x7F7FFFFF), math.inf, -math.inf,
              from_bits(0x7FC00000), from_bits(0xFFC00000)]
    # Quadrant boundaries and their float neighbours, where the parity and sign logic turns.
    for k in range(-8, 9):
        centre = bits(k * math.pi / 2)
        for step in (-2, -1, 0, 1, 2):
            if k != 0:
                angles.append(from_bits(centre + step))
    rng = Lcg(20240611)
    angles += [rng.uniform(-8, 8) for _ in range(120)]
    angles += [rng.uniform(-1000, 1000) for _ in range(40)]
    angles += [rng.uniform(-3e6, 3e6) for _ in range(20)]
    return [f32(a) for a in angles]


# --- Default variants -------------------------------------------------------------------------

def default_scalar_inputs():
    values = [0.0, -0.0, 1.0, 2.0, 4.0, 0.25, 0.1, 7.0, 10.0, 12345.0, 1e-38, from_bits(1),
              from_bits(0x7F7FFFFF), -1.0, -4.0, math.inf, from_bits(0x7FC00000)]
    rng = Lcg(7)
    values += [rng.uniform(0, 100) for _ in range(30)]
    values += [f32(rng.uniform(0, 1) * 1e-20) for _ in range(5)]
    values += [f32(rng.uniform(0, 1) * 1e30) for _ in range(5)]
    return [f32(v) for v in values]


def default_square_root(x):
    return f32(c_sqrt(x))


def default_reciprocal_square_root(x):
    return f32(c_div(1.0, c_sqrt(x)))


def default_vectors():
    vectors = [(0.0, 0.0, 0.0), (-0.0, 0.0, -0.0), (1.0, 0.0, 0.0), (3.0, 4.0, 0.0),
               (0.5, 0.5, 0.5), (2.0, 0.0, 0.0), (2.0**-23, 0.0, 0.0), (0.0, -2.0**-23, 0.0),
               (1e-30, 2e-30, -3e-30), (1e30, 1e30, -1e30), (from_bits(0x7F7FFFFF), 1.0, 1.0),
               (math.nan, 1.0, 2.0), (math.inf, 0.0, 0.0), (-1.0, -2.0, -2.0)]
    rng = Lcg(11)
    for _ in range(40):
        vectors.append((rng.uniform(-10, 10), rng.uniform(-10, 10), rng.uniform(-10, 10)))
    return [tuple(f32(c) for c in v) for v in vectors]


def default_normalize(v):
    x, y, z = v
    length = c_sqrt((x * x + y * y) + z * z)
    scale = c_div(1.0, length + 2.0**-23)
    return (f32(x * scale), f32(y * scale), f32(z * scale)), f32(length)


def default_inverse_squared_length(v):
    x, y, z = v
    q = (x * x + y * y) + z * z
    return 1.0 if q < 1 else f32(c_div(1.0, q))


def default_angles():
    angles = [0.0, -0.0, 1.0, -1.0, 0.5, 2.0, 3.0, 10.0, 100.0, 1e-20, f32(math.pi),
              f32(math.pi / 2), f32(-math.pi / 4)]
    rng = Lcg(3)
    angles += [rng.uniform(-10, 10) for _ in range(60)]
    angles += [rng.uniform(-1000, 1000) for _ in range(20)]
    return [f32(a) for a in angles]


# --- Output -----------------------------------------------------------------------------------

def hex_list(values, per_line=8):
    items = ["0x%08X" % bits(v) for v in values]
    return ",\n".join("    " + ", ".join(items[i:i + per_line])
                      for i in range(0, len(items), per_line))


def int_list(values, per_line=12):
    items = ["%d" % v if v != INT32_MIN else "INT32_MIN" for v in values]
    return ",\n".join("    " + ", ".join(items[i:i + per_line])
                      for i in range(0, len(items), per_line))


def header(out):
    out.append("// Generated by make_math_reference.py from the definitions alone; do not edit.")
    out.append("// Floats are given as their single-precision bit patterns.")
    out.append("// clang-format off")
    out.append("#pragma once")
    out.append("")
    out.append("#include <cstdint>")
    out.append("")
    out.append("namespace math_reference {")
    out.append("")


def footer(out):
    out.append("} // namespace math_reference")
    return "\n".join(out) + "\n"


def render_tables():
    out = []
    w = out.append
    header(out)

    w("const uint32_t g_SineTable[256] = {\n%s};" % hex_list(sine_table()))
    w("")

    # Identical tables are written once and shared between argument sets.
    arrays = {}

    def array_name(table, values):
        key = (table, tuple(bits(v) if table in FLOAT_TABLES else v for v in values))
        if key not in arrays:
            name = "g_%s%d" % (table, sum(1 for k in arrays if k[0] == table))
            if table in FLOAT_TABLES:
                kind, body = "uint32_t", hex_list(values)
            elif table in BYTE_TABLES:
                kind, body = "uint8_t", int_list(values, 16)
            else:
                kind, body = "int32_t", int_list(values)
            w("const %s %s[%d] = {\n%s};" % (kind, name, len(values), body))
            w("")
            arrays[key] = name
        return arrays[key]

    rows = []
    for name, gamma, source_gamma, brightness, factor in ARGUMENT_SETS:
        args = [f32(gamma), f32(source_gamma), f32(brightness)]
        tables = color_tables(*args, factor)
        names = [array_name(t, tables[t]) for t in TABLE_ORDER]
        rows.append("    {\"%s\", 0x%08X, 0x%08X, 0x%08X, %d,\n     %s,\n     %s}," %
                    (name, bits(args[0]), bits(args[1]), bits(args[2]), factor,
                     ", ".join(names[:4]), ", ".join(names[4:])))

    w("struct ColorTables {")
    w("    const char* pszName;")
    w("    uint32_t gamma, sourceGamma, brightness; // float bit patterns")
    w("    int32_t overbrightFactor;")
    w("    const uint8_t* pSourceToCorrected;")
    w("    const int32_t* pLinearToCorrected;")
    w("    const uint32_t* pSourceToLinear;")
    w("    const uint32_t* pLinearToFixedGamma;")
    w("    const uint32_t* pFixedGammaToLinear;")
    w("    const int32_t* pLinearToSource;")
    w("    const uint32_t* pOverbrightToCorrected;")
    w("    const uint8_t* pOverbrightToCorrectedBytes;")
    w("};")
    w("")
    w("const ColorTables g_ColorTables[] = {\n%s\n};" % "\n".join(rows))
    w("")
    return footer(out)


def render_routines():
    out = []
    w = out.append
    header(out)

    w("// Angle, then the sine and cosine of the polynomial pair, then the polynomial cosine.")
    w("struct PolynomialCase {")
    w("    uint32_t angle, sine, cosine, cosineOnly;")
    w("};")
    w("")
    lines = []
    for angle in polynomial_angles():
        s, c = sine_and_cosine(angle)
        lines.append("    {0x%08X, 0x%08X, 0x%08X, 0x%08X}," %
                     (bits(angle), bits(s), bits(c), bits(cosine(angle))))
    w("const PolynomialCase g_PolynomialCases[] = {\n%s\n};" % "\n".join(lines))
    w("")

    w("struct ScalarCase {")
    w("    uint32_t x, squareRoot, reciprocalSquareRoot;")
    w("};")
    w("")
    lines = ["    {0x%08X, 0x%08X, 0x%08X}," %
             (bits(x), bits(default_square_root(x)), bits(default_reciprocal_square_root(x)))
             for x in default_scalar_inputs()]
    w("const ScalarCase g_DefaultScalarCases[] = {\n%s\n};" % "\n".join(lines))
    w("")

    w("struct VectorCase {")
    w("    uint32_t in[3], normalized[3], length, inverseSquaredLength;")
    w("};")
    w("")
    lines = []
    for v in default_vectors():
        normalized, length = default_normalize(v)
        lines.append("    {{0x%08X, 0x%08X, 0x%08X}, {0x%08X, 0x%08X, 0x%08X}, 0x%08X, 0x%08X}," %
                     (tuple(bits(c) for c in v) + tuple(bits(c) for c in normalized) +
                      (bits(length), bits(default_inverse_squared_length(v)))))
    w("const VectorCase g_DefaultVectorCases[] = {\n%s\n};" % "\n".join(lines))
    w("")

    w("struct AngleCase {")
    w("    uint32_t angle, sine, cosine;")
    w("};")
    w("")
    lines = ["    {0x%08X, 0x%08X, 0x%08X}," %
             (bits(a), bits(math.sin(a)), bits(math.cos(a))) for a in default_angles()]
    w("const AngleCase g_DefaultAngleCases[] = {\n%s\n};" % "\n".join(lines))
    w("")
    return footer(out)


OUTPUTS = {"math_table_reference.h": render_tables,
           "math_routine_reference.h": render_routines}


def check_published_examples():
    """The worked examples that come with the definitions; a failure means a slip here."""
    plugin = color_tables(f32(2.2), f32(2.2), 0.0, 2)
    assert plugin["SourceToCorrected"] == list(range(256))
    assert plugin["LinearToCorrected"] == plugin["LinearToSource"]
    assert plugin["LinearToCorrected"][1] == 10 and plugin["LinearToCorrected"][1023] == 255
    assert plugin["SourceToLinear"][255] == 1.0000001192092896
    assert plugin["LinearToFixedGamma"][255] == 1.0 and plugin["FixedGammaToLinear"][255] == 1.0
    overbright = plugin["OverbrightToCorrected"]
    overbright_bytes = plugin["OverbrightToCorrectedBytes"]
    assert (overbright[1024], overbright_bytes[1024]) == (0.5, 128)
    assert (overbright[2048], overbright_bytes[2048]) == (f32(0.6851755), 175)
    assert (overbright[4095], overbright_bytes[4095]) == (f32(0.9388267), 239)
    four = color_tables(f32(2.2), f32(2.2), 0.0, 4)
    assert four["OverbrightToCorrected"][1024] == 0.25
    assert four["OverbrightToCorrectedBytes"][1024] == 64
    halfway = color_tables(f32(1.18), f32(2.2), f32(0.75), 2)
    assert f32(c_pow(1747 * S12, f32(1 / f32(1.18))) * 0.5 * 255) == 200.5
    assert halfway["OverbrightToCorrectedBytes"][1747] == 200
    brightness_two = color_tables(f32(2.2), f32(2.2), 2.0, 2)["LinearToCorrected"]
    assert brightness_two[511] == 254 and set(brightness_two[512:]) == {255}
    sines = sine_table()
    assert sines[0] == 0 and sines[64] == 1.0 and sines[192] == -1.0
    assert 1.2245e-16 < sines[128] < 1.2247e-16
    assert sine_and_cosine(0.0) == (0.0, f32(0.99984318))
    assert sine_and_cosine(1.0) == (f32(0.841468275), f32(0.540302336))
    assert cosine(1.0) == f32(0.540302217) and cosine(0.0) == f32(0.99984318)
    s, c = sine_and_cosine(f32(math.pi))
    assert (s, c) == (0.0, -f32(0.99984318)) and sign_bit(s) == 1
    s, c = sine_and_cosine(f32(math.pi / 2))
    assert s == f32(0.99984318) and c == 0.0 and sign_bit(c) == 1
    assert default_normalize((1.0, 0.0, 0.0)) == ((f32(0.99999988), 0.0, 0.0), 1.0)
    assert default_normalize((3.0, 4.0, 0.0)) == ((f32(0.59999996), f32(0.79999995), 0.0), 5.0)
    assert default_normalize((2.0**-23, 0.0, 0.0))[0][0] == 0.5
    assert [default_inverse_squared_length(v) for v in
            [(0.5, 0.5, 0.5), (1.0, 0.0, 0.0), (2.0, 0.0, 0.0)]] == [1.0, 1.0, 0.25]


def main(argv):
    check_published_examples()
    check = len(argv) > 1 and argv[1] == "--check"
    rest = argv[2:] if check else argv[1:]
    directory = rest[0] if rest else os.path.dirname(os.path.abspath(__file__))
    stale = 0
    for name, render in OUTPUTS.items():
        path = os.path.join(directory, name)
        text = render()
        if check:
            with open(path, encoding="utf-8") as existing:
                if existing.read() != text:
                    print("%s is out of date: run %s" % (path, argv[0]), file=sys.stderr)
                    stale = 1
        else:
            with open(path, "w", encoding="utf-8", newline="\n") as target:
                target.write(text)
    return stale


if __name__ == "__main__":
    sys.exit(main(sys.argv))
