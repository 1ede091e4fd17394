"""Which deflate streams make the reader's inflate loop go on without input.

The reader inflates an entry in 64 KiB pieces of input into a 64 KiB output buffer. When a call
takes the last input byte and fills the buffer before the stream has ended, the inflater still owes
output that only further calls without input deliver. Highly compressible data a little over a
multiple of 64 KiB often ends that way.
"""
import struct
import zlib

CHUNK = 64 * 1024


def deflate(data, level=9):
    packer = zlib.compressobj(level, zlib.DEFLATED, -zlib.MAX_WBITS)
    return packer.compress(data) + packer.flush()


def _inflate_like_reader(compressed):
    """Inflates `compressed` the reader's way. Returns whether a call takes the last input and
    fills the output buffer while the stream goes on (output still owed), and how much output had
    been produced when the last piece of input was loaded."""
    inflater = zlib.decompressobj(-zlib.MAX_WBITS)
    position = produced = at_last = 0
    pending = b""
    while True:
        if not pending:
            if position >= len(compressed):
                return True, at_last  # all input taken, stream not ended: output still owed
            at_last = produced
            pending = compressed[position:position + CHUNK]
            position += CHUNK
        produced += len(inflater.decompress(pending, CHUNK))
        pending = inflater.unconsumed_tail
        if inflater.eof:
            return False, at_last


def owes_output_after_last_input(compressed):
    """True when inflating `compressed` the reader's way reaches a call that takes the last input
    and fills the output buffer while the stream goes on."""
    return _inflate_like_reader(compressed)[0]


def owing_padding(head, minimum, fill=b"\0", level=9, limit=2000):
    """A length n, at least `minimum`, of padding made of repeated `fill` to put after `head` so
    that the whole, deflated at `level`, leaves output owed after the last input; None when none is
    found. The output owed comes from the last block's codes: they must be short enough to share
    the last input byte, so the padding's block should hold nothing else (a zlib block at level 9
    ends after 16384 symbols, a little over 4 MB of zeros)."""
    def pad(start, end):
        repeated = fill * (end // len(fill) + 1)
        return repeated[start:end]

    packer = zlib.compressobj(level, zlib.DEFLATED, -zlib.MAX_WBITS)
    packed = packer.compress(head + pad(0, minimum))
    padding = minimum
    for _ in range(limit):
        tail = packer.copy()
        owes, at_last = _inflate_like_reader(packed + tail.compress(pad(minimum, padding)) + tail.flush())
        if owes:
            return padding
        # From the last input piece on, output buffers end at multiples of 64 KiB; the sizes worth
        # trying lie a little past those, so skip ahead to the next one when far from it.
        past = (len(head) + padding - at_last) % CHUNK
        padding += CHUNK - past if past > 2048 else 1
    return None


def padded(head, length, fill=b"\0"):
    return head + (fill * (length // len(fill) + 1))[:length]


def stored_stream(z, info):
    """The compressed bytes of `info` as they lie in the open zipfile.ZipFile `z`."""
    z.fp.seek(info.header_offset)
    local = z.fp.read(30)
    name_length, extra_length = struct.unpack("<HH", local[26:30])
    z.fp.seek(info.header_offset + 30 + name_length + extra_length)
    return z.fp.read(info.compress_size)
