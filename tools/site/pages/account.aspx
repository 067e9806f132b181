<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>My Account</title></head>
<body style="font-family:sans-serif;font-size:13px">
<h2>My Account</h2>
<p>You are signed in to Kivora. Your plans are kept on your own computer; the lists of
materials you send are kept by this server.</p>
</body></html>
