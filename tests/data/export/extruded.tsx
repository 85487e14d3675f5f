<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" name="extruded" tilewidth="8" tileheight="4" spacing="4" margin="2" tilecount="3" columns="3">
 <image source="extruded.png" width="36" height="8"/>
</tileset>
