# Reads an animated GIF or APNG with Pillow and prints what a viewer gets, as JSON:
# {"frames": N, "loop": L or null, "size": [w, h], "durations": [...],
#  "pixels": [[[r, g, b, a], ...] per frame]}, every frame composed as Pillow shows it.
# Also reads plain PNG frames (apngdis's output) given as several file names.
#   /usr/bin/python3 read_animation.py FILE
#   /usr/bin/python3 read_animation.py --pngs A.png B.png ...
import json
import sys

from PIL import Image


def pixels_of(image):
    rgba = image.convert('RGBA')
    return [list(rgba.getpixel((x, y))) for y in range(rgba.height) for x in range(rgba.width)]


def main():
    if sys.argv[1] == '--pngs':
        frames = [Image.open(name) for name in sys.argv[2:]]
        print(json.dumps({'frames': len(frames), 'size': list(frames[0].size),
                          'pixels': [pixels_of(frame) for frame in frames]}))
        return
    image = Image.open(sys.argv[1])
    result = {'format': image.format, 'frames': getattr(image, 'n_frames', 1), 'loop': image.info.get('loop'),
              'size': list(image.size), 'durations': [], 'pixels': []}
    for index in range(result['frames']):
        image.seek(index)
        result['durations'].append(image.info.get('duration'))
        result['pixels'].append(pixels_of(image))
    print(json.dumps(result))


main()
