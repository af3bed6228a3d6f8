# Draws the GIFs from elsewhere that pixconv must read as a browser shows them, in
# folder OUT: for each disposal method 0-3, one made by Pillow (every frame with its own
# palette order, so local colour tables) and one by ImageMagick (frames smaller than the
# canvas at offsets), and one interlaced. Every GIF has a transparent index and only
# the 16 colours. Then GIFs put together byte by byte, which no encoder makes but files
# from elsewhere hold: without the trailer, with disposal values 4 to 7, with a first frame
# that reaches past the screen; and damaged ones, named damaged-*.gif, which a browser
# cannot show whole.
#   /usr/bin/python3 make_gifs.py OUT
import random
import subprocess
import sys

from PIL import Image

COLOURS = [(0, 0, 0), (0, 0, 0xA0), (0, 0xA0, 0), (0, 0xA0, 0xA0), (0xA0, 0, 0), (0xA0, 0, 0xA0),
           (0xA0, 0xA0, 0), (0xA0, 0xA0, 0xA0), (0x5F, 0x5F, 0x5F), (0x5F, 0x5F, 0xFF), (0x5F, 0xFF, 0x5F),
           (0x5F, 0xFF, 0xFF), (0xFF, 0x5F, 0x5F), (0xFF, 0x5F, 0xFF), (0xFF, 0xFF, 0x5F), (0xFF, 0xFF, 0xFF)]
WIDTH, HEIGHT = 12, 10


def frame_values(seed, width, height):
    """A frame as colour indices, None for transparent: a filled box on a clear ground."""
    rng = random.Random(seed)
    values = [[None] * width for _ in range(height)]
    left, top = rng.randrange(width // 2), rng.randrange(height // 2)
    for y in range(top, min(height, top + rng.randrange(2, height))):
        for x in range(left, min(width, left + rng.randrange(2, width))):
            values[y][x] = rng.randrange(16) if rng.random() < 0.8 else None
    return values


def pillow_frame(values, seed):
    """A P image whose palette is the 16 colours in an order of its own, index 16 transparent."""
    order = list(range(16))
    random.Random(seed).shuffle(order)
    image = Image.new('P', (len(values[0]), len(values)), 16)
    palette = []
    for colour in order:
        palette += COLOURS[colour]
    image.putpalette(palette + [0, 0, 0] * (256 - 16))
    for y, row in enumerate(values):
        for x, value in enumerate(row):
            if value is not None:
                image.putpixel((x, y), order.index(value))
    image.info['transparency'] = 16
    return image


def rgba_frame(values, path):
    image = Image.new('RGBA', (len(values[0]), len(values)), (0, 0, 0, 0))
    for y, row in enumerate(values):
        for x, value in enumerate(row):
            if value is not None:
                image.putpixel((x, y), COLOURS[value] + (255,))
    image.save(path)


def main(out):
    for disposal in range(4):
        frames = [pillow_frame(frame_values(10 * disposal + n, WIDTH, HEIGHT), n) for n in range(4)]
        frames[0].save(f'{out}/pillow-dispose{disposal}.gif', save_all=True, append_images=frames[1:],
                       duration=[100, 200, 300, 400], loop=0, disposal=disposal, transparency=16)
        sizes = [(WIDTH, HEIGHT, 0, 0), (6, 5, 3, 2), (4, 7, 7, 1), (9, 3, 1, 6)]
        command = ['convert', '-dispose', ['Undefined', 'None', 'Background', 'Previous'][disposal]]
        for n, (w, h, x, y) in enumerate(sizes):
            path = f'{out}/im-{disposal}-{n}.png'
            rgba_frame(frame_values(100 + 10 * disposal + n, w, h), path)
            command += ['-page', f'{WIDTH}x{HEIGHT}+{x}+{y}', path]
        subprocess.run(command + ['-loop', '0', f'{out}/im-dispose{disposal}.gif'], check=True)
    # The same frames with their rows interlaced.
    subprocess.run(['convert', f'{out}/im-dispose1.gif', '-interlace', 'GIF', f'{out}/im-interlaced.gif'], check=True)



def lzw(indices, min_size=5, undefined_at=None):
    """The sub-blocks of `indices` compressed as literals; a code past the table at `undefined_at`."""
    clear = 1 << min_size
    width, next_code, previous = min_size + 1, clear + 2, None
    bits = count = 0
    data = bytearray()

    def put(code):
        nonlocal bits, count
        bits |= code << count
        count += width
        while count >= 8:
            data.append(bits & 0xFF)
            bits >>= 8
            count -= 8

    put(clear)
    for n, value in enumerate(indices):
        put(next_code + 3 if n == undefined_at else value)
        if previous is not None and next_code < 4096:
            next_code += 1
            if next_code == 1 << width and width < 12:
                width += 1
        previous = value
    put(clear + 1)
    if count:
        data.append(bits & 0xFF)
    blocks = bytearray([min_size])
    for at in range(0, len(data), 255):
        chunk = data[at:at + 255]
        blocks += bytes([len(chunk)]) + chunk
    return bytes(blocks) + b'\0'


def gif_bytes(screen, frames):
    """A GIF89a of the 16 colours (entry 16 transparent); each frame (x, y, w, h, disposal, pixels)."""
    table = b''.join(bytes(c) for c in COLOURS) + bytes(3 * 16)
    out = b'GIF89a' + bytes([screen[0], 0, screen[1], 0, 0xF4, 0, 0]) + table
    for x, y, w, h, disposal, pixels, *damage in frames:
        out += bytes([0x21, 0xF9, 4, (disposal << 2) | 1, 10, 0, 16, 0])
        out += bytes([0x2C, x, 0, y, 0, w, 0, h, 0, 0])
        out += lzw(pixels, undefined_at=damage[0] if damage else None)
    return out + b'\x3B'


def boxes(w, h, seed):
    rng = random.Random(seed)
    return [16 if rng.random() < 0.3 else rng.randrange(16) for _ in range(w * h)]


def write_by_hand(out):
    def save(name, data):
        with open(f'{out}/{name}', 'wb') as file:
            file.write(data)

    two = [(0, 0, 6, 5, 0, boxes(6, 5, 1)), (1, 1, 4, 3, 0, boxes(4, 3, 2))]
    save('hand-no-trailer.gif', gif_bytes((6, 5), two)[:-1])
    for disposal in range(4, 8):
        frames = [(0, 0, 6, 5, 1, boxes(6, 5, 3)), (1, 1, 4, 3, disposal, boxes(4, 3, 4)),
                  (2, 0, 3, 4, 1, boxes(3, 4, 5))]
        save(f'hand-dispose{disposal}.gif', gif_bytes((6, 5), frames))
    later = (0, 0, 9, 9, 1, boxes(9, 9, 8))  # later frames are cut to the grown canvas
    save('hand-larger-first.gif', gif_bytes((4, 4), [(0, 0, 6, 5, 1, boxes(6, 5, 6)), later]))
    save('hand-past-screen.gif', gif_bytes((4, 4), [(3, 2, 3, 3, 1, boxes(3, 3, 7)), later]))
    save('hand-no-screen.gif', gif_bytes((0, 0), [(0, 0, 5, 3, 1, boxes(5, 3, 9)), later]))
    save('damaged-undefined-code.gif', gif_bytes((6, 5), [two[0], (1, 1, 4, 3, 0, boxes(4, 3, 2), 5)]))
    save('damaged-short-frame.gif', gif_bytes((6, 5), [two[0], (1, 1, 4, 3, 0, boxes(4, 2, 2))]))
    whole = gif_bytes((6, 5), two)
    save('damaged-cut-in-frame.gif', whole[:len(whole) - 8])


main(sys.argv[1])
write_by_hand(sys.argv[1])
