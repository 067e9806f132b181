<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Building Wizard</title></head>
<body style="font-family:sans-serif;font-size:13px">
<h2>Building Wizard</h2>
<p>Choose a house to start from; Kivora builds its walls, floors and roof. The plan you have open is replaced.</p>
<p><button onclick="window.external.OpenXMLTemplate('http://{{DOMAIN}}/catalogue/wizard/cottage.xml')">Cottage: one storey, gable roof</button></p>
<p><button onclick="window.external.OpenXMLTemplate('http://{{DOMAIN}}/catalogue/wizard/townhouse.xml')">Town house: two storeys, hipped roof</button></p>
<p><button onclick="window.external.OpenXMLTemplate('http://{{DOMAIN}}/catalogue/wizard/lhouse.xml')">L-shaped house: one storey, gable roof</button></p>
<p><button onclick="window.close()">Close</button></p>
</body></html>
