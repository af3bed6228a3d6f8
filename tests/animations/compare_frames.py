# Compares sprite files with the RGBA PNG frames a reference decoder composed, pixel for
# pixel (fully transparent pixels compare alike whatever their colour). Prints one
# line per difference and exits 1 when there is any.
#   /usr/bin/python3 compare_frames.py SPRITE.spr... -- FRAME.png...
import sys

from PIL import Image

COLOURS = [(0, 0, 0), (0, 0, 0xA0), (0, 0xA0, 0), (0, 0xA0, 0xA0), (0xA0, 0, 0), (0xA0, 0, 0xA0),
           (0xA0, 0xA0, 0), (0xA0, 0xA0, 0xA0), (0x5F, 0x5F, 0x5F), (0x5F, 0x5F, 0xFF), (0x5F, 0xFF, 0x5F),
           (0x5F, 0xFF, 0xFF), (0xFF, 0x5F, 0x5F), (0xFF, 0x5F, 0xFF), (0xFF, 0xFF, 0x5F), (0xFF, 0xFF, 0xFF)]

split = sys.argv.index('--')
sprites, frames = sys.argv[1:split], sys.argv[split + 1:]
problems = []
if len(sprites) != len(frames):
    problems.append(f'{len(sprites)} sprites, {len(frames)} reference frames')
for sprite, frame in zip(sprites, frames):
    data = open(sprite, 'rb').read()
    width, height, values = data[0], data[1], data[2:]
    reference = Image.open(frame).convert('RGBA')
    if reference.size != (width, height):
        problems.append(f'{sprite}: {width} x {height}, reference {reference.size}')
        continue
    for y in range(height):
        for x in range(width):
            value = values[y * width + x]
            got = (0, 0, 0, 0) if value == 255 else COLOURS[value & 15] + (255,)
            want = reference.getpixel((x, y))
            want = (0, 0, 0, 0) if want[3] == 0 else want
            if got != want:
                problems.append(f'{sprite} ({x}, {y}): {got}, reference {want}')
print('\n'.join(problems[:20]))
sys.exit(1 if problems else 0)
