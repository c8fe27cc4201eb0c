#!/usr/bin/python3
# Makes astronaut-mask.pbm, the outline of the astronaut in astronaut.ppm
# (0: her head, hair, neck ring and suit down to row 339; 1: the
# studio backdrop, the flag and the shuttle model), so the test photos can
# put her before other backgrounds. Run with Debian's python3-skimage:
#   /usr/bin/python3 make_mask.py astronaut.ppm astronaut-mask.pbm
import sys
import numpy as np
from scipy import ndimage as ndi
from skimage import color, draw, io

image = io.imread(sys.argv[1])[:, :, :3]
height, width = image.shape[:2]
lab = color.rgb2lab(image)
hsv = color.rgb2hsv(image)
lightness, chroma = lab[..., 0], np.hypot(lab[..., 1], lab[..., 2])
hue, saturation = hsv[..., 0] * 360, hsv[..., 1]
rows, columns = np.mgrid[0:height, 0:width]

# Where she may be: left of the shuttle, right of the flag (row, column).
outline = np.array([(0, 120), (0, 330), (150, 330), (235, 345), (250, 364), (339, 366),
                    (339, 22), (300, 25), (250, 45), (215, 75), (180, 105), (140, 110), (60, 125)])
region = np.zeros((height, width), bool)
region[draw.polygon(outline[:, 0], outline[:, 1], (height, width))] = True
# The suit's left edge runs from (215, 92) to (339, 30); the flag lies left of it.
left_edge = 92 + (rows - 215) * (30 - 92) / (339 - 215)
beyond_suit = (rows >= 200) & (columns < left_edge)

# The backdrop is light and nearly grey; flag stripes are red, white or blue.
backdrop_like = (chroma < 9) & (lightness > 62)
flag_like = (columns < 110) & (rows > 120) & (
    ((hue < 12) | (hue > 330)) & (saturation > 0.35) | backdrop_like | (lab[..., 2] < -5))
candidates = region & (backdrop_like | flag_like)
border = region & ~ndi.binary_erosion(region)
labels, _ = ndi.label(candidates)
touching = np.unique(labels[border & candidates])
backdrop = np.isin(labels, touching[touching > 0])

person = ndi.binary_opening(region & ~backdrop, iterations=2)
labels, count = ndi.label(person)
person = labels == 1 + np.argmax(ndi.sum(person, labels, range(1, count + 1)))
orange = (hue > 8) & (hue < 30) & (saturation > 0.4)
person = (person | (region & orange & (rows >= 200))) & ~beyond_suit
person = ndi.binary_fill_holes(ndi.binary_closing(ndi.binary_fill_holes(person), iterations=2))
person[340:, :] = False

# A PBM bitmap: 1 is black, so her pixels are written as 0.
with open(sys.argv[2], "wb") as out:
    out.write(b"P4\n%d %d\n" % (width, height))
    out.write(np.packbits(~person, axis=1).tobytes())
