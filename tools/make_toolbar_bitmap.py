#!/usr/bin/env python3
"""Draws the toolbar picture of the editor's views (src/control/bars/Toolbar.png) with
ImageMagick's convert: 29 buttons over
296 x 24 pixels, grouped as the toolbar's commands are (selection, floor, wall, orbit,
zoom, pan, walk, 3D, blueprint). Light colours stay below 227 so that none of them
turns transparent when the picture gets its colour-keyed alpha."""
import subprocess
import sys

FACE, LIGHT, DARK = "rgb(212,208,200)", "rgb(224,222,216)", "rgb(120,118,112)"
INK = "rgb(20,20,20)"
GROUPS = [(1, 19), (21, 50), (52, 70), (93, 132), (134, 162), (164, 183), (185, 203),
          (226, 264), (266, 294)]

args = ["convert", "-size", "296x24", "xc:" + FACE, "+antialias", "-strokewidth", "1"]


def draw(*primitives, fill=None, stroke=None, width=None):
    if fill:
        args.extend(["-fill", fill])
    if stroke:
        args.extend(["-stroke", stroke])
    if width:
        args.extend(["-strokewidth", str(width)])
    for p in primitives:
        args.extend(["-draw", p])


for x0, x1 in GROUPS:
    draw(f"rectangle {x0},1 {x1},22", fill=FACE, stroke="none")
    draw(f"line {x0},1 {x1},1", f"line {x0},1 {x0},22", stroke=LIGHT)
    draw(f"line {x0},22 {x1},22", f"line {x1},1 {x1},22", stroke=DARK)

draw("polygon 6,4 6,18 9,15 12,21 14,20 11,14 15,14", fill=INK, stroke="none")
draw("polygon 27,17 33,7 45,7 39,17", fill="rgb(150,100,50)", stroke="rgb(80,50,20)")
draw("rectangle 55,6 67,18", fill="rgb(170,60,40)", stroke="rgb(90,30,20)")
draw("line 55,10 67,10", "line 55,14 67,14", "line 61,6 61,10", "line 58,10 58,14",
     "line 64,10 64,14", "line 61,14 61,18", stroke="rgb(200,190,180)")
draw("ellipse 112,12 12,6 200,520", fill="none", stroke="rgb(30,30,120)")
draw("polygon 99,9 103,14 95,14", fill="rgb(30,30,120)")
draw("circle 145,10 145,16", fill="rgb(150,190,220)", stroke=INK)
draw("line 150,15 155,20", stroke=INK, width=3)
draw("line 173,5 173,19", "line 166,12 180,12", "polygon 173,3 170,6 176,6",
     "polygon 173,21 170,18 176,18", "polygon 164,12 167,9 167,15",
     "polygon 182,12 179,9 179,15", fill=INK, stroke=INK, width=1)
draw("ellipse 190,14 2,4 0,360", "ellipse 197,9 2,4 0,360", "ellipse 190,20 1,1 0,360",
     "ellipse 197,15 1,1 0,360", fill="rgb(40,40,40)", stroke="none")
args.extend(["-font", "DejaVu-Sans-Bold", "-pointsize", "13"])
draw("text 234,18 '3D'", fill=INK, stroke="none")
draw("rectangle 272,5 288,19", fill="rgb(30,60,160)", stroke="none")
draw("line 276,5 276,19", "line 280,5 280,19", "line 284,5 284,19", "line 272,9 288,9",
     "line 272,13 288,13", "line 272,17 288,17", stroke="rgb(150,180,225)")
args.extend(["-strip", "-type", "TrueColor", "-define", "png:color-type=2",
             sys.argv[1] if len(sys.argv) > 1 else "Toolbar.png"])
subprocess.run(args, check=True)
