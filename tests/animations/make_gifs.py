# Draws the GIFs from elsewhere that pixconv must read as a browser shows them, in
# folder OUT: for each disposal method 0-3, one made by Pillow (every frame with its own
# palette order, so local colour tables) and one by ImageMagick (frames smaller than the
# canvas at offsets), and one interlaced. Every GIF has a transparent index and only
# the 16 colours.
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


main(sys.argv[1])
