<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" name="combined" tilewidth="4" tileheight="4" spacing="3" margin="4" tilecount="6" columns="2">
 <image source="combined.png" trans="996633" width="19" height="26"/>
</tileset>
