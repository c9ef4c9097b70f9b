#!/usr/bin/env python3
"""Dibuja el icono del programa, tesmalo.png: 32 × 32 píxeles y 16 colores; con --todos, también
los de 48, 64, 128 y 256 píxeles (iconos/tesmalo-LADO.png) y el vectorial (iconos/tesmalo.svg).

Una rejilla de 7 × 7 celdas coloreadas por altura (verde en lo bajo, ocre y pardo en la ladera,
blanco en la cumbre), como un modelo digital del terreno visto desde arriba, con las líneas de
la rejilla y un borde oscuro. Sólo usa la biblioteca estándar: escribe un PNG con paleta de 4
bits. Uso: python3 scripts/dibujar_icono.py [salida.png]
     python3 scripts/dibujar_icono.py --todos [CARPETA]   (por omisión, dialog/, que los lleva)
"""
import math
import struct
import sys
import zlib

PALETA = [
    (0, 0, 0),        # 0 transparente
    (32, 40, 48),     # 1 borde
    (90, 100, 110),   # 2 líneas de la rejilla
    (30, 110, 50),    # 3 verde oscuro
    (70, 150, 60),    # 4 verde
    (140, 190, 80),   # 5 verde claro
    (210, 210, 110),  # 6 amarillo pálido
    (200, 160, 80),   # 7 ocre
    (160, 110, 60),   # 8 pardo
    (120, 80, 50),    # 9 pardo oscuro
    (235, 235, 235),  # 10 nieve
    (255, 192, 192),  # 11 rosa de la barra de progreso
    (200, 60, 60),    # 12 rojo
    (60, 110, 200),   # 13 azul
    (150, 190, 240),  # 14 azul claro
    (255, 255, 255),  # 15 blanco
]
TAMANO = 32
CELDAS = 7
TINTAS = [3, 4, 5, 6, 7, 8, 9, 10]  # de lo bajo a lo alto


def altura(x, y):
    """Dos cerros sobre un llano, entre 0 y 1."""
    a = math.exp(-((x - 2.2) ** 2 + (y - 2.4) ** 2) / 3.5)
    b = 0.7 * math.exp(-((x - 5.0) ** 2 + (y - 4.6) ** 2) / 2.5)
    return min(1.0, a + b)


def disposicion(tamano):
    """Dónde va cada cosa en un icono de `tamano` píxeles de lado: (x, y) de la esquina de la
    rejilla, ancho de las líneas, lado de una celda y ancho total de la rejilla. Las celdas
    son tan grandes como quepan con las líneas, la rejilla y la barra de debajo (del ancho de
    una línea) juntas y centradas. En 32 × 32: líneas de 1, celdas de 3, rejilla de 29."""
    linea = max(1, tamano // 48)
    lado = (tamano - 3 * linea - (CELDAS + 1) * linea) // CELDAS
    ancho = CELDAS * (lado + linea) + linea
    return (tamano - ancho) // 2, (tamano - ancho - linea) // 2, linea, lado, ancho


def rectangulos(tamano):
    """El dibujo como rectángulos (x, y, ancho, alto, tinta), del fondo al frente."""
    x0, y0, linea, lado, ancho = disposicion(tamano)
    r = [(x0, y0, ancho, ancho, 2)]  # las líneas de la rejilla: el fondo entre las celdas
    for fila in range(CELDAS):
        for columna in range(CELDAS):
            h = altura(columna + 0.5, fila + 0.5)
            tinta = TINTAS[min(len(TINTAS) - 1, int(h * len(TINTAS)))]
            r.append((x0 + linea + columna * (lado + linea), y0 + linea + fila * (lado + linea),
                      lado, lado, tinta))
    r += [(x0, y0, ancho, linea, 1), (x0, y0 + ancho - linea, ancho, linea, 1),
          (x0, y0, linea, ancho, 1), (x0 + ancho - linea, y0, linea, ancho, 1)]
    # Una barra de progreso al pie, como la de la ventana, a dos tercios.
    hecho = 2 * ancho // 3
    r += [(x0, y0 + ancho, hecho, linea, 11), (x0 + hecho, y0 + ancho, ancho - hecho, linea, 2)]
    return r


def pixeles(tamano=TAMANO):
    imagen = [[0] * tamano for _ in range(tamano)]
    for x, y, ancho, alto, tinta in rectangulos(tamano):
        for fila in range(y, y + alto):
            imagen[fila][x:x + ancho] = [tinta] * ancho
    return imagen


def svg():
    """El mismo dibujo en vectorial, con la disposición de 256 × 256."""
    partes = ['<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" '
              'viewBox="0 0 256 256">']
    for x, y, ancho, alto, tinta in rectangulos(256):
        partes.append('<rect x="%d" y="%d" width="%d" height="%d" fill="#%02x%02x%02x"/>'
                      % ((x, y, ancho, alto) + PALETA[tinta]))
    partes.append("</svg>")
    return "\n".join(partes) + "\n"


def png(imagen):
    def trozo(tipo, datos):
        return (struct.pack(">I", len(datos)) + tipo + datos +
                struct.pack(">I", zlib.crc32(tipo + datos) & 0xFFFFFFFF))

    tamano = len(imagen)
    filas = b""
    for fila in imagen:
        filas += b"\0" + bytes((fila[i] << 4) | fila[i + 1] for i in range(0, tamano, 2))
    return (b"\x89PNG\r\n\x1a\n" +
            trozo(b"IHDR", struct.pack(">IIBBBBB", tamano, tamano, 4, 3, 0, 0, 0)) +
            trozo(b"PLTE", b"".join(bytes(c) for c in PALETA)) +
            trozo(b"tRNS", b"\0") +
            trozo(b"IDAT", zlib.compress(filas, 9)) +
            trozo(b"IEND", b""))


if __name__ == "__main__":
    if len(sys.argv) > 1 and sys.argv[1] == "--todos":
        # Todos los del paquete, en la carpeta dada (por omisión, dialog/, junto a este guion).
        import os
        carpeta = sys.argv[2] if len(sys.argv) > 2 else os.path.join(
            os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "dialog")
        os.makedirs(os.path.join(carpeta, "iconos"), exist_ok=True)
        with open(os.path.join(carpeta, "tesmalo.png"), "wb") as fichero:
            fichero.write(png(pixeles()))
        for lado in (48, 64, 128, 256):
            with open(os.path.join(carpeta, "iconos", "tesmalo-%d.png" % lado), "wb") as fichero:
                fichero.write(png(pixeles(lado)))
        with open(os.path.join(carpeta, "iconos", "tesmalo.svg"), "w", encoding="utf-8") as fichero:
            fichero.write(svg())
    else:
        salida = sys.argv[1] if len(sys.argv) > 1 else "tesmalo.png"
        with open(salida, "wb") as fichero:
            fichero.write(png(pixeles()))
