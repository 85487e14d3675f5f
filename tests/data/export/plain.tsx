<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" name="plain" tilewidth="16" tileheight="16" tilecount="6" columns="3">
 <image source="plain.png" width="48" height="32"/>
</tileset>
