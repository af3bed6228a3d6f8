<tileset name="images" tilewidth="32" tileheight="32" tilecount="1" columns="0">
 <tile id="0"><image source="one.png" width="32" height="32"/></tile>
</tileset>
