<?xml version="1.0" encoding="UTF-8"?>
<!-- saved by the map editor, then edited by hand -->
<tileset version="1.10" tiledversion="1.10.2" name='d&#233;cor &amp; more' tilewidth="16" tileheight="8" spacing="2" margin="1">
 <tileoffset x="0" y="4"/>
 <grid orientation="orthogonal" width="16" height="8"/>
 <properties><property name="biome" value="cave"/></properties>
 <image source="../art/decor.png" trans="ff00ff" width="56" height="30"/>
 <tile id="2" type="wall"><properties><property name="solid" type="bool" value="true"/></properties>
  <animation><frame tileid="1" duration="90"/><frame tileid="2" duration="90"/></animation></tile>
 <tile id="0"><animation><frame tileid="5" duration="40"/><frame tileid="0" duration="60"/></animation></tile>
 <wangsets><wangset name="ground" type="corner" tile="-1"/></wangsets>
</tileset>
