<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" name="spaced" tilewidth="8" tileheight="8" spacing="2" margin="1" tilecount="4" columns="2">
 <image source="spaced.png" trans="ff00ff" width="20" height="20"/>
</tileset>
