<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" name="tiles" tilewidth="5" tileheight="4" spacing="1" margin="0" tilecount="4" columns="2">
 <image source="tiles.png" width="11" height="9"/>
 <tile id="0">
  <animation>
   <frame tileid="0" duration="120"/>
   <frame tileid="1" duration="120"/>
   <frame tileid="2" duration="120"/>
   <frame tileid="3" duration="120"/>
  </animation>
 </tile>
</tileset>
