# Writes one palette of 16 colours from elsewhere in every form pixconv reads, into
# folder OUT, and prints its colours as JSON ([[r, g, b], ...]):
#   p.gpl      as GIMP writes one, with a name, columns, comments, names after the
#              colours, CR LF line ends and 4 colours more than 16 (left out)
#   jasc.pal   JASC; riff.pal the RIFF form; p.hex one colour a line, "#" and upper case
#   p.png      drawn by Pillow: a transparent margin, then the colours as 3 x 3 blocks on
#              a 4 x 4 grid, each colour first met in its order, row by row
#   short.hex  15 colours, which is too few
#   /usr/bin/python3 make_palettes.py OUT
import json
import random
import struct
import sys

from PIL import Image


def main(out):
    rng = random.Random(33)
    colours = []
    while len(colours) < 20:
        colour = tuple(rng.randrange(256) for _ in range(3))
        if colour not in colours:
            colours.append(colour)
    first = colours[:16]
    gpl = ['GIMP Palette', 'Name: from elsewhere', 'Columns: 4', '#', '# twenty colours']
    gpl += [f'{r:3} {g:3} {b:3}\tcolour {n}' for n, (r, g, b) in enumerate(colours)]
    with open(f'{out}/p.gpl', 'wb') as file:
        file.write(('\r\n'.join(gpl) + '\r\n').encode())
    with open(f'{out}/jasc.pal', 'wb') as file:
        file.write(('JASC-PAL\r\n0100\r\n16\r\n' + ''.join(f'{r} {g} {b}\r\n' for r, g, b in first)).encode())
    data = struct.pack('<HH', 0x300, 16) + b''.join(bytes([r, g, b, 0]) for r, g, b in first)
    chunk = b'data' + struct.pack('<I', len(data)) + data
    with open(f'{out}/riff.pal', 'wb') as file:
        file.write(b'RIFF' + struct.pack('<I', 4 + len(chunk)) + b'PAL ' + chunk)
    hex_lines = [f'#{r:02X}{g:02X}{b:02X}' for r, g, b in first]
    with open(f'{out}/p.hex', 'w') as file:
        file.write('\n'.join(hex_lines) + '\n')
    with open(f'{out}/short.hex', 'w') as file:
        file.write('\n'.join(hex_lines[:15]) + '\n')
    image = Image.new('RGBA', (14, 14), (0, 0, 0, 0))
    for n, colour in enumerate(first):
        for dy in range(3):
            for dx in range(3):
                image.putpixel((1 + n % 4 * 3 + dx, 1 + n // 4 * 3 + dy), colour + (255,))
    image.save(f'{out}/p.png')
    print(json.dumps(first))


main(sys.argv[1])
