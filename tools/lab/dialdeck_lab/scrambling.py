"""Undoes the engine's scrambling of the account number and PIN (Tarn/eacct).

The key material must equal the engine's (engine/core/account_scrambler.h).
"""

KEY = bytes([
    0x5A, 0xC3, 0x17, 0x8E, 0x2B, 0xF4, 0x61, 0x9D, 0x06, 0xB8, 0x4F, 0xE2, 0x33, 0x7C,
    0xA9, 0x10, 0xD5, 0x68, 0x8B, 0x2E, 0xF1, 0x47, 0x9A, 0x0C, 0x73, 0xBE, 0x25, 0xD0,
    0x6F, 0x84, 0x19, 0xCA, 0x52, 0xE7, 0x3D, 0xA0, 0x7B, 0x14, 0xC9, 0x86,
])
HEADER_ADD_MASK = bytes([0x3B, 0x91, 0x5E, 0xC7, 0x24])
HEADER_XOR_MASK = bytes([0xA6, 0x1D, 0xF3, 0x48, 0x8C])

HEADER_SIZE = 12
ESCAPE = 255


class UnscrambleError(ValueError):
    pass


def _header_field(data, field):
    tag, value = data[2 + 2 * field], data[3 + 2 * field]
    if tag == ESCAPE:
        if value not in (1, ESCAPE):
            raise UnscrambleError("bad escape in header field %d" % field)
        masked = 0 if value == 1 else ESCAPE
    elif tag == (2 if field < 3 else 1):
        masked = value
    else:
        raise UnscrambleError("bad tag %d in header field %d" % (tag, field))
    return ((masked ^ HEADER_XOR_MASK[field]) - HEADER_ADD_MASK[field]) & 0xFF


def unscramble_bytes(data):
    """Returns the plain bytes of one scrambled value, or raises UnscrambleError."""
    if len(data) < HEADER_SIZE or data[0] != 1 or data[1] != 1:
        raise UnscrambleError("not a scrambled value")
    s1, s2, s3, high, low = (_header_field(data, f) for f in range(5))
    ring_size = ((high ^ s2) << 8) | (low ^ s1)
    if ring_size == 0 or HEADER_SIZE + ring_size > len(data):
        raise UnscrambleError("ring of %d bytes does not fit" % ring_size)
    ring = data[HEADER_SIZE:HEADER_SIZE + ring_size]
    position = s3 % ring_size
    steps = 0

    def take():
        nonlocal position, steps
        if steps >= ring_size:
            raise UnscrambleError("ring exhausted")
        value = ring[position]
        position = (position + 3) % ring_size
        steps += 1
        return value

    plain = []
    expected = None
    while expected is None or len(plain) < expected:
        cell = take()
        if cell == ESCAPE:
            mark = take()
            if mark not in (1, ESCAPE):
                raise UnscrambleError("bad escape in ring")
            cell = 0 if mark == 1 else ESCAPE
        index = len(plain)
        plain.append(((cell ^ KEY[index % len(KEY)] ^ s2) - s1) & 0xFF)
        if len(plain) == 2:
            expected = 2 + ((plain[0] << 8) | plain[1])
    return bytes(plain[2:])


def unscramble_hex(text):
    """Unscrambles the hexadecimal text of Tarn/eacct into a str (latin-1)."""
    try:
        data = bytes.fromhex(text.strip())
    except ValueError as error:
        raise UnscrambleError("not hexadecimal: %s" % error) from None
    return unscramble_bytes(data).decode("latin-1")
