<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Estado</name>
    <message>
        <source>sin traducir</source>
        <translation>untranslated</translation>
    </message>
    <message>
        <source>traducido</source>
        <translation>translated</translation>
    </message>
    <message>
        <source>dudoso</source>
        <translation>fuzzy</translation>
    </message>
    <message>
        <source>no se puede codificar</source>
        <translation>cannot be encoded</translation>
    </message>
    <message>
        <source>no cabe</source>
        <translation>does not fit</translation>
    </message>
    <message>
        <source>línea larga</source>
        <translation>line too long</translation>
    </message>
    <message>
        <source>demasiadas líneas</source>
        <translation>too many lines</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>…</source>
        <translation>…</translation>
    </message>
    <message>
        <source>Elegir %1</source>
        <translation>Choose %1</translation>
    </message>
    <message>
        <source>Abrir proyecto</source>
        <translation>Open project</translation>
    </message>
    <message>
        <source>Proyectos (*.toml)</source>
        <translation>Projects (*.toml)</translation>
    </message>
    <message>
        <source>Guiones del proyecto</source>
        <translation>Project scripts</translation>
    </message>
    <message>
        <source>El proyecto no dice dónde guardar los guiones; se añadirá al archivo del proyecto.</source>
        <translation>The project does not say where to save the scripts; this will be added to the project file.</translation>
    </message>
    <message>
        <source>Carpeta de los guiones</source>
        <translation>Scripts folder</translation>
    </message>
    <message>
        <source>Carpeta:</source>
        <translation>Folder:</translation>
    </message>
    <message>
        <source>Formato de los guiones</source>
        <translation>Scripts format</translation>
    </message>
    <message>
        <source>TSV (hoja de cálculo)</source>
        <translation>TSV (spreadsheet)</translation>
    </message>
    <message>
        <source>PO (Poedit, Weblate)</source>
        <translation>PO (Poedit, Weblate)</translation>
    </message>
    <message>
        <source>Atlas</source>
        <translation>Atlas</translation>
    </message>
    <message>
        <source>Formato:</source>
        <translation>Format:</translation>
    </message>
    <message>
        <source>Cambios sin guardar</source>
        <translation>Unsaved changes</translation>
    </message>
    <message>
        <source>Hay traducciones sin guardar. ¿Guardarlas antes de cerrar?</source>
        <translation>There are unsaved translations. Save them before closing?</translation>
    </message>
    <message>
        <source>Nuevo proyecto</source>
        <translation>New project</translation>
    </message>
    <message>
        <source>Guardar el proyecto</source>
        <translation>Save the project</translation>
    </message>
    <message>
        <source>%1 → %2 bytes (%3 menos, %4 %)</source>
        <translation>%1 → %2 bytes (%3 fewer, %4 %)</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Uso: romscriber-studio [PROYECTO]</source>
        <translation>Usage: romscriber-studio [PROJECT]</translation>
    </message>
</context>
<context>
    <name>romscriber::studio::BlockModel</name>
    <message>
        <source>%1 de %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message numerus="yes">
        <source>%n textos con problemas</source>
        <translation>
            <numerusform>%n text with problems</numerusform>
            <numerusform>%n texts with problems</numerusform>
        </translation>
    </message>
    <message>
        <source>Bloque</source>
        <translation>Block</translation>
    </message>
    <message>
        <source>Traducidos</source>
        <translation>Translated</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>Bytes</translation>
    </message>
</context>
<context>
    <name>romscriber::studio::DictionaryDialog</name>
    <message>
        <source>Diccionario</source>
        <translation>Dictionary</translation>
    </message>
    <message>
        <source>Tabla</source>
        <translation>Table</translation>
    </message>
    <message>
        <source>Tabla:</source>
        <translation>Table:</translation>
    </message>
    <message>
        <source>Bloques que cuentan</source>
        <translation>Blocks counted</translation>
    </message>
    <message>
        <source>Bloques:</source>
        <translation>Blocks:</translation>
    </message>
    <message>
        <source>Códigos</source>
        <translation>Codes</translation>
    </message>
    <message>
        <source>Códigos (hex):</source>
        <translation>Codes (hex):</translation>
    </message>
    <message>
        <source>Letras por entrada</source>
        <translation>Letters per entry</translation>
    </message>
    <message>
        <source>Letras por entrada, hasta:</source>
        <translation>Letters per entry, up to:</translation>
    </message>
    <message>
        <source>Relleno de los datos</source>
        <translation>Data padding</translation>
    </message>
    <message>
        <source>Relleno de los datos (hex):</source>
        <translation>Data padding (hex):</translation>
    </message>
    <message>
        <source>&amp;Elegir entradas</source>
        <translation>&amp;Choose entries</translation>
    </message>
    <message>
        <source>Elegir entradas</source>
        <translation>Choose entries</translation>
    </message>
    <message>
        <source>Entradas</source>
        <translation>Entries</translation>
    </message>
    <message>
        <source>Código</source>
        <translation>Code</translation>
    </message>
    <message>
        <source>Texto</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Escribir &amp;líneas…</source>
        <translation>Write &amp;lines…</translation>
    </message>
    <message>
        <source>Escribir las líneas de tabla</source>
        <translation>Write the table lines</translation>
    </message>
    <message>
        <source>Escribir &amp;datos…</source>
        <translation>Write &amp;data…</translation>
    </message>
    <message>
        <source>Escribir los datos del diccionario</source>
        <translation>Write the dictionary data</translation>
    </message>
    <message numerus="yes">
        <source>%n textos: </source>
        <translation>
            <numerusform>%n text: </numerusform>
            <numerusform>%n texts: </numerusform>
        </translation>
    </message>
    <message>
        <source>Los códigos deben ser hexadecimales, como 80-BF o 80-8F,A0.</source>
        <translation>Codes must be hexadecimal, such as 80-BF or 80-8F,A0.</translation>
    </message>
    <message>
        <source>Marque al menos un bloque.</source>
        <translation>Tick at least one block.</translation>
    </message>
    <message>
        <source>Eligiendo…</source>
        <translation>Choosing…</translation>
    </message>
    <message>
        <source>Guardar las líneas de tabla</source>
        <translation>Save the table lines</translation>
    </message>
    <message>
        <source>Tablas (*.tbl)</source>
        <translation>Tables (*.tbl)</translation>
    </message>
    <message>
        <source>El relleno debe ser un byte en hexadecimal, como 00 o FF.</source>
        <translation>The padding must be one byte in hexadecimal, such as 00 or FF.</translation>
    </message>
    <message>
        <source>Guardar los datos del diccionario</source>
        <translation>Save the dictionary data</translation>
    </message>
    <message>
        <source>Datos (*.bin)</source>
        <translation>Data (*.bin)</translation>
    </message>
    <message>
        <source>Bytes ahorrados</source>
        <translation>Bytes saved</translation>
    </message>
</context>
<context>
    <name>romscriber::studio::NewProjectDialog</name>
    <message>
        <source>Nuevo proyecto</source>
        <translation>New project</translation>
    </message>
    <message>
        <source>ROM</source>
        <translation>ROM</translation>
    </message>
    <message>
        <source>ROM:</source>
        <translation>ROM:</translation>
    </message>
    <message>
        <source>ROM (*.*)</source>
        <translation>ROM (*.*)</translation>
    </message>
    <message>
        <source>Tabla</source>
        <translation>Table</translation>
    </message>
    <message>
        <source>Tabla:</source>
        <translation>Table:</translation>
    </message>
    <message>
        <source>tabla</source>
        <translation>table</translation>
    </message>
    <message>
        <source>Tablas (*.tbl)</source>
        <translation>Tables (*.tbl)</translation>
    </message>
    <message>
        <source>Formato de la tabla</source>
        <translation>Table format</translation>
    </message>
    <message>
        <source>extendida</source>
        <translation>extended</translation>
    </message>
    <message>
        <source>clásica</source>
        <translation>classic</translation>
    </message>
    <message>
        <source>Formato de la tabla:</source>
        <translation>Table format:</translation>
    </message>
    <message>
        <source>Codificación de la tabla</source>
        <translation>Table encoding</translation>
    </message>
    <message>
        <source>utf-8, shift_jis, utf-16…</source>
        <translation>utf-8, shift_jis, utf-16…</translation>
    </message>
    <message>
        <source>Codificación:</source>
        <translation>Encoding:</translation>
    </message>
    <message>
        <source>Mapa de direcciones</source>
        <translation>Address map</translation>
    </message>
    <message>
        <source>lineal</source>
        <translation>linear</translation>
    </message>
    <message>
        <source>por bancos (Game Boy)</source>
        <translation>banked (Game Boy)</translation>
    </message>
    <message>
        <source>por bancos (NES)</source>
        <translation>banked (NES)</translation>
    </message>
    <message>
        <source>Mapa:</source>
        <translation>Map:</translation>
    </message>
    <message>
        <source>Cabecera</source>
        <translation>Header</translation>
    </message>
    <message>
        <source>Cabecera (bytes):</source>
        <translation>Header (bytes):</translation>
    </message>
    <message>
        <source>textos</source>
        <translation>texts</translation>
    </message>
    <message>
        <source>Nombre del bloque</source>
        <translation>Block name</translation>
    </message>
    <message>
        <source>Primer bloque:</source>
        <translation>First block:</translation>
    </message>
    <message>
        <source>Clase de bloque</source>
        <translation>Block kind</translation>
    </message>
    <message>
        <source>tabla de punteros</source>
        <translation>pointer table</translation>
    </message>
    <message>
        <source>rango</source>
        <translation>range</translation>
    </message>
    <message>
        <source>Clase:</source>
        <translation>Kind:</translation>
    </message>
    <message>
        <source>Offset de la tabla de punteros</source>
        <translation>Pointer table offset</translation>
    </message>
    <message>
        <source>Offset (hex):</source>
        <translation>Offset (hex):</translation>
    </message>
    <message>
        <source>Número de punteros</source>
        <translation>Number of pointers</translation>
    </message>
    <message>
        <source>Punteros:</source>
        <translation>Pointers:</translation>
    </message>
    <message>
        <source>Tamaño de los punteros</source>
        <translation>Pointer size</translation>
    </message>
    <message>
        <source>Bytes por puntero:</source>
        <translation>Bytes per pointer:</translation>
    </message>
    <message>
        <source>Orden de los bytes</source>
        <translation>Byte order</translation>
    </message>
    <message>
        <source>little endian</source>
        <translation>little endian</translation>
    </message>
    <message>
        <source>big endian</source>
        <translation>big endian</translation>
    </message>
    <message>
        <source>Orden:</source>
        <translation>Order:</translation>
    </message>
    <message>
        <source>Inicio del rango</source>
        <translation>Range start</translation>
    </message>
    <message>
        <source>Inicio (hex):</source>
        <translation>Start (hex):</translation>
    </message>
    <message>
        <source>Fin del rango</source>
        <translation>Range end</translation>
    </message>
    <message>
        <source>Fin (hex, incluido):</source>
        <translation>End (hex, inclusive):</translation>
    </message>
    <message>
        <source>Falta la ROM o la tabla.</source>
        <translation>The ROM or the table is missing.</translation>
    </message>
    <message>
        <source>Falta el nombre del bloque.</source>
        <translation>The block name is missing.</translation>
    </message>
    <message>
        <source>El offset de la tabla de punteros debe ser hexadecimal.</source>
        <translation>The pointer table offset must be hexadecimal.</translation>
    </message>
    <message>
        <source>El inicio y el fin del rango deben ser hexadecimales.</source>
        <translation>The range start and end must be hexadecimal.</translation>
    </message>
</context>
<context>
    <name>romscriber::studio::PointerDialog</name>
    <message>
        <source>Buscar punteros</source>
        <translation>Find pointers</translation>
    </message>
    <message>
        <source>Textos que buscar</source>
        <translation>Texts to look for</translation>
    </message>
    <message>
        <source>los textos de un bloque</source>
        <translation>the texts of a block</translation>
    </message>
    <message>
        <source>los textos que encuentra una tabla</source>
        <translation>the texts a table finds</translation>
    </message>
    <message>
        <source>Buscar punteros a:</source>
        <translation>Find pointers to:</translation>
    </message>
    <message>
        <source>Bloque</source>
        <translation>Block</translation>
    </message>
    <message>
        <source>Bloque:</source>
        <translation>Block:</translation>
    </message>
    <message>
        <source>Tabla</source>
        <translation>Table</translation>
    </message>
    <message>
        <source>Tabla:</source>
        <translation>Table:</translation>
    </message>
    <message>
        <source>Entradas mínimas por texto</source>
        <translation>Least entries per text</translation>
    </message>
    <message>
        <source>Entradas mínimas por texto:</source>
        <translation>Least entries per text:</translation>
    </message>
    <message>
        <source>Candidatos</source>
        <translation>Candidates</translation>
    </message>
    <message>
        <source>Candidatos:</source>
        <translation>Candidates:</translation>
    </message>
    <message>
        <source>&amp;Buscar</source>
        <translation>&amp;Search</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>Punteros</source>
        <translation>Pointers</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>Orden</source>
        <translation>Order</translation>
    </message>
    <message>
        <source>Paso</source>
        <translation>Stride</translation>
    </message>
    <message>
        <source>Mapa</source>
        <translation>Map</translation>
    </message>
    <message>
        <source>Suma</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Alcanzados</source>
        <translation>Reached</translation>
    </message>
    <message>
        <source>&amp;Añadir al proyecto</source>
        <translation>&amp;Add to the project</translation>
    </message>
    <message>
        <source>Añadir al proyecto</source>
        <translation>Add to the project</translation>
    </message>
    <message>
        <source>big</source>
        <translation>big</translation>
    </message>
    <message>
        <source>little</source>
        <translation>little</translation>
    </message>
    <message>
        <source>%1 de %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message numerus="yes">
        <source>Ninguna tabla de punteros llega a esos %n textos.</source>
        <translation>
            <numerusform>No pointer table reaches that %n text.</numerusform>
            <numerusform>No pointer table reaches those %n texts.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n candidatos.</source>
        <translation>
            <numerusform>%n candidate.</numerusform>
            <numerusform>%n candidates.</numerusform>
        </translation>
    </message>
    <message>
        <source>Buscando…</source>
        <translation>Searching…</translation>
    </message>
    <message>
        <source>Bloque añadido al proyecto.</source>
        <translation>Block added to the project.</translation>
    </message>
</context>
<context>
    <name>romscriber::studio::RelativeDialog</name>
    <message>
        <source>Búsqueda relativa</source>
        <translation>Relative search</translation>
    </message>
    <message>
        <source>Texto visto en pantalla</source>
        <translation>Text seen on screen</translation>
    </message>
    <message>
        <source>una palabra del juego, como Espada</source>
        <translation>a word of the game, such as Sword</translation>
    </message>
    <message>
        <source>Texto:</source>
        <translation>Text:</translation>
    </message>
    <message>
        <source>Ancho de los valores</source>
        <translation>Value width</translation>
    </message>
    <message>
        <source>1 byte por letra</source>
        <translation>1 byte per letter</translation>
    </message>
    <message>
        <source>2 bytes por letra</source>
        <translation>2 bytes per letter</translation>
    </message>
    <message>
        <source>Valores:</source>
        <translation>Values:</translation>
    </message>
    <message>
        <source>Orden de los bytes</source>
        <translation>Byte order</translation>
    </message>
    <message>
        <source>little endian</source>
        <translation>little endian</translation>
    </message>
    <message>
        <source>big endian</source>
        <translation>big endian</translation>
    </message>
    <message>
        <source>Orden:</source>
        <translation>Order:</translation>
    </message>
    <message>
        <source>Kana (hiragana y katakana en orden gojūon)</source>
        <translation>Kana (hiragana and katakana in gojūon order)</translation>
    </message>
    <message>
        <source>Kana</source>
        <translation>Kana</translation>
    </message>
    <message>
        <source>&amp;Buscar</source>
        <translation>&amp;Search</translation>
    </message>
    <message>
        <source>Buscar en la ROM</source>
        <translation>Search the ROM</translation>
    </message>
    <message>
        <source>Coincidencias</source>
        <translation>Hits</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>Primera letra de cada clase</source>
        <translation>First letter of each class</translation>
    </message>
    <message>
        <source>Escribir &amp;tabla…</source>
        <translation>Write &amp;table…</translation>
    </message>
    <message>
        <source>Escribir tabla</source>
        <translation>Write table</translation>
    </message>
    <message>
        <source>Ninguna coincidencia.</source>
        <translation>No hits.</translation>
    </message>
    <message numerus="yes">
        <source>%n coincidencias.</source>
        <translation>
            <numerusform>%n hit.</numerusform>
            <numerusform>%n hits.</numerusform>
        </translation>
    </message>
    <message>
        <source>Buscando…</source>
        <translation>Searching…</translation>
    </message>
    <message>
        <source>Guardar la tabla</source>
        <translation>Save the table</translation>
    </message>
    <message>
        <source>Tablas (*.tbl)</source>
        <translation>Tables (*.tbl)</translation>
    </message>
    <message>
        <source>Tabla escrita en %1.</source>
        <translation>Table written to %1.</translation>
    </message>
</context>
<context>
    <name>romscriber::studio::ReplaceDialog</name>
    <message>
        <source>Buscar y reemplazar</source>
        <translation>Find and replace</translation>
    </message>
    <message>
        <source>Texto que buscar</source>
        <translation>Text to find</translation>
    </message>
    <message>
        <source>Buscar en las traducciones:</source>
        <translation>Find in the translations:</translation>
    </message>
    <message>
        <source>Texto nuevo</source>
        <translation>New text</translation>
    </message>
    <message>
        <source>Reemplazar por:</source>
        <translation>Replace with:</translation>
    </message>
    <message>
        <source>Expresión regular</source>
        <translation>Regular expression</translation>
    </message>
    <message>
        <source>Reemplazar todo</source>
        <translation>Replace all</translation>
    </message>
</context>
<context>
    <name>romscriber::studio::StringModel</name>
    <message>
        <source>%1 de %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message>
        <source>Id</source>
        <translation>Id</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>Punteros</source>
        <translation>Pointers</translation>
    </message>
    <message>
        <source>Original</source>
        <translation>Original</translation>
    </message>
    <message>
        <source>Traducción</source>
        <translation>Translation</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>Estado</source>
        <translation>State</translation>
    </message>
</context>
<context>
    <name>romscriber::studio::StudioWindow</name>
    <message>
        <source>Romscriber Studio</source>
        <translation>Romscriber Studio</translation>
    </message>
    <message>
        <source>Abra un proyecto (Archivo, Abrir proyecto…) o cree uno nuevo.</source>
        <translation>Open a project (File, Open project…) or create a new one.</translation>
    </message>
    <message>
        <source>&amp;Buscar:</source>
        <translation>&amp;Search:</translation>
    </message>
    <message>
        <source>en el original y la traducción</source>
        <translation>in the original and the translation</translation>
    </message>
    <message>
        <source>Expresión &amp;regular</source>
        <translation>&amp;Regular expression</translation>
    </message>
    <message>
        <source>Expresión regular</source>
        <translation>Regular expression</translation>
    </message>
    <message>
        <source>&amp;Filtro:</source>
        <translation>&amp;Filter:</translation>
    </message>
    <message>
        <source>todos</source>
        <translation>all</translation>
    </message>
    <message>
        <source>sin traducir</source>
        <translation>untranslated</translation>
    </message>
    <message>
        <source>con problemas</source>
        <translation>with problems</translation>
    </message>
    <message>
        <source>La expresión regular no es válida.</source>
        <translation>The regular expression is not valid.</translation>
    </message>
    <message>
        <source>Columnas de Bloques</source>
        <translation>Block columns</translation>
    </message>
    <message>
        <source>Columnas de Textos</source>
        <translation>Text columns</translation>
    </message>
    <message>
        <source>Original:</source>
        <translation>Original:</translation>
    </message>
    <message>
        <source>&amp;Traducción:</source>
        <translation>&amp;Translation:</translation>
    </message>
    <message>
        <source>Progreso</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>Barra de estado</source>
        <translation>Status bar</translation>
    </message>
    <message>
        <source>Copiar traducciones</source>
        <translation>Copy translations</translation>
    </message>
    <message>
        <source>Pegar traducciones</source>
        <translation>Paste translations</translation>
    </message>
    <message>
        <source>Menú</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>&amp;Archivo</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Nuevo proyecto…</source>
        <translation>&amp;New project…</translation>
    </message>
    <message>
        <source>&amp;Abrir proyecto…</source>
        <translation>&amp;Open project…</translation>
    </message>
    <message>
        <source>&amp;Guardar</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>&amp;Volcar de nuevo</source>
        <translation>&amp;Dump again</translation>
    </message>
    <message>
        <source>&amp;Salir</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <source>&amp;Editar</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>&amp;Deshacer</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>&amp;Rehacer</source>
        <translation>&amp;Redo</translation>
    </message>
    <message>
        <source>&amp;Buscar y reemplazar…</source>
        <translation>&amp;Find and replace…</translation>
    </message>
    <message>
        <source>&amp;Siguiente sin traducir</source>
        <translation>&amp;Next untranslated</translation>
    </message>
    <message>
        <source>&amp;Ajustar líneas</source>
        <translation>&amp;Wrap lines</translation>
    </message>
    <message>
        <source>&amp;ROM</source>
        <translation>&amp;ROM</translation>
    </message>
    <message>
        <source>&amp;Generar ROM</source>
        <translation>&amp;Build ROM</translation>
    </message>
    <message>
        <source>&amp;Probar en emulador</source>
        <translation>&amp;Try in emulator</translation>
    </message>
    <message>
        <source>Punteros</source>
        <translation>Pointers</translation>
    </message>
    <message>
        <source>%1 de %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message>
        <source>Bytes: %1 (original %2) · Bloque: %3 de %4</source>
        <translation>Bytes: %1 (original %2) · Block: %3 of %4</translation>
    </message>
    <message>
        <source> · Líneas: %1</source>
        <translation> · Lines: %1</translation>
    </message>
    <message>
        <source> · %1 de %2 líneas</source>
        <translation> · %1 of %2 lines</translation>
    </message>
    <message>
        <source> · No se puede codificar «%1» (columna %2)</source>
        <translation> · Cannot encode “%1” (column %2)</translation>
    </message>
    <message>
        <source>salto de línea</source>
        <translation>line break</translation>
    </message>
    <message>
        <source>Escribir</source>
        <translation>Typing</translation>
    </message>
    <message>
        <source>Buscar y reemplazar</source>
        <translation>Find and replace</translation>
    </message>
    <message>
        <source>Reemplazar todo</source>
        <translation>Replace all</translation>
    </message>
    <message>
        <source>Reemplazar</source>
        <translation>Replace</translation>
    </message>
    <message numerus="yes">
        <source>%n traducciones cambiadas.</source>
        <translation>
            <numerusform>%n translation changed.</numerusform>
            <numerusform>%n translations changed.</numerusform>
        </translation>
    </message>
    <message>
        <source>No queda ningún texto sin traducir.</source>
        <translation>No untranslated text is left.</translation>
    </message>
    <message>
        <source>El bloque %1 no tiene line_limit: no hay ancho al que ajustar.</source>
        <translation>Block %1 has no line_limit: there is no width to wrap to.</translation>
    </message>
    <message>
        <source>La tabla no tiene una entrada de salto de línea.</source>
        <translation>The table has no line-break entry.</translation>
    </message>
    <message>
        <source>Ajustar líneas</source>
        <translation>Wrap lines</translation>
    </message>
    <message>
        <source>Pegar</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>Abriendo %1…</source>
        <translation>Opening %1…</translation>
    </message>
    <message>
        <source>No se ha abierto el proyecto.</source>
        <translation>The project was not opened.</translation>
    </message>
    <message>
        <source>Abrir proyecto</source>
        <translation>Open project</translation>
    </message>
    <message>
        <source>%1 — Romscriber Studio</source>
        <translation>%1 — Romscriber Studio</translation>
    </message>
    <message>
        <source>Proyecto abierto: %1 bloques, %2 textos, %3 avisos.</source>
        <translation>Project open: %1 blocks, %2 texts, %3 warnings.</translation>
    </message>
    <message>
        <source>traduccion</source>
        <translation>translation</translation>
    </message>
    <message>
        <source>Guardar</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Guardando…</source>
        <translation>Saving…</translation>
    </message>
    <message>
        <source>No se ha guardado.</source>
        <translation>Nothing was saved.</translation>
    </message>
    <message>
        <source>Guardado en %1.</source>
        <translation>Saved in %1.</translation>
    </message>
    <message>
        <source>ROM nueva</source>
        <translation>New ROM</translation>
    </message>
    <message>
        <source>ROM (*.*)</source>
        <translation>ROM (*.*)</translation>
    </message>
    <message>
        <source>Generar ROM</source>
        <translation>Build ROM</translation>
    </message>
    <message>
        <source>Esa es la ROM original del proyecto, que nunca se cambia.</source>
        <translation>That is the project's original ROM, which is never changed.</translation>
    </message>
    <message>
        <source>Generando la ROM…</source>
        <translation>Building the ROM…</translation>
    </message>
    <message>
        <source>No se ha generado la ROM.</source>
        <translation>The ROM was not built.</translation>
    </message>
    <message numerus="yes">
        <source>No se ha escrito nada: %n rechazos.</source>
        <translation>
            <numerusform>Nothing was written: %n refusal.</numerusform>
            <numerusform>Nothing was written: %n refusals.</numerusform>
        </translation>
    </message>
    <message>
        <source>ROM nueva en %1: %2 textos cambiados, %3 avisos.</source>
        <translation>New ROM in %1: %2 texts changed, %3 warnings.</translation>
    </message>
    <message>
        <source>No se ha generado la ROM</source>
        <translation>The ROM was not built</translation>
    </message>
    <message>
        <source>Nada se ha escrito. Elija un rechazo para ir a su texto.</source>
        <translation>Nothing was written. Choose a refusal to go to its text.</translation>
    </message>
    <message>
        <source>Rechazos</source>
        <translation>Refusals</translation>
    </message>
    <message>
        <source>Bloque</source>
        <translation>Block</translation>
    </message>
    <message>
        <source>Texto</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Motivo</source>
        <translation>Reason</translation>
    </message>
    <message>
        <source>Probar en emulador</source>
        <translation>Try in emulator</translation>
    </message>
    <message>
        <source>El proyecto no dice el emulador: añada emulator = &quot;programa&quot; en [output].</source>
        <translation>The project names no emulator: add emulator = "program" to [output].</translation>
    </message>
    <message>
        <source>No se ha podido abrir %1.</source>
        <translation>%1 could not be started.</translation>
    </message>
    <message>
        <source>Volcando de nuevo…</source>
        <translation>Dumping again…</translation>
    </message>
    <message>
        <source>No se ha vuelto a volcar.</source>
        <translation>Nothing was dumped.</translation>
    </message>
    <message>
        <source>Volcar de nuevo</source>
        <translation>Dump again</translation>
    </message>
    <message>
        <source>Volcado de nuevo: %1 avisos.</source>
        <translation>Dumped again: %1 warnings.</translation>
    </message>
    <message>
        <source>Nuevo proyecto</source>
        <translation>New project</translation>
    </message>
    <message>
        <source>Guiones cambiados</source>
        <translation>Scripts changed</translation>
    </message>
    <message>
        <source>Otro programa ha cambiado los guiones del proyecto. ¿Cargarlos de nuevo?</source>
        <translation>Another program changed the project's scripts. Load them again?</translation>
    </message>
    <message>
        <source>Otro programa ha cambiado los guiones del proyecto. ¿Cargarlos de nuevo? Se perderán los cambios sin guardar.</source>
        <translation>Another program changed the project's scripts. Load them again? Unsaved changes will be lost.</translation>
    </message>
    <message>
        <source>Cargando los guiones…</source>
        <translation>Loading the scripts…</translation>
    </message>
    <message>
        <source>Guiones cargados de nuevo.</source>
        <translation>Scripts loaded again.</translation>
    </message>
    <message>
        <source>Se cerrará al terminar…</source>
        <translation>Will close when done…</translation>
    </message>
    <message>
        <source>&amp;Herramientas</source>
        <translation>&amp;Tools</translation>
    </message>
    <message>
        <source>Búsqueda &amp;relativa…</source>
        <translation>&amp;Relative search…</translation>
    </message>
    <message>
        <source>Buscar &amp;punteros…</source>
        <translation>Find &amp;pointers…</translation>
    </message>
    <message>
        <source>ROM en la que buscar</source>
        <translation>ROM to search</translation>
    </message>
    <message>
        <source>Búsqueda relativa</source>
        <translation>Relative search</translation>
    </message>
    <message>
        <source>Abra antes un proyecto: los punteros se buscan en su ROM, con su mapa.</source>
        <translation>Open a project first: pointers are searched in its ROM, with its map.</translation>
    </message>
    <message>
        <source>&amp;Diccionario…</source>
        <translation>&amp;Dictionary…</translation>
    </message>
    <message>
        <source>Abra antes un proyecto: el diccionario se elige sobre sus traducciones.</source>
        <translation>Open a project first: the dictionary is chosen over its translations.</translation>
    </message>
</context>
</TS>
