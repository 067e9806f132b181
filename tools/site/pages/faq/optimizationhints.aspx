<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Making Kivora faster</title></head>
<body style="font-family:sans-serif;font-size:13px">
<h2>Making Kivora faster</h2>
<ul>
<li>Close other programs that use much memory.</li>
<li>Turn shadows off in the preferences.</li>
<li>Make the window smaller, or use the blueprint view while you draw.</li>
<li>Install the newest driver for your video card.</li>
</ul></body></html>
