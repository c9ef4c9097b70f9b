#!/usr/bin/env python3
"""Dibuja el icono del programa, tesmalo.png: 32 × 32 píxeles y 16 colores.

Una rejilla de 7 × 7 celdas coloreadas por altura (verde en lo bajo, ocre y pardo en la ladera,
blanco en la cumbre), como un modelo digital del terreno visto desde arriba, con las líneas de
la rejilla y un borde oscuro. Sólo usa la biblioteca estándar: escribe un PNG con paleta de 4
bits. Uso: python3 dialog/dibujar_icono.py [salida.png]
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


def pixeles():
    imagen = [[0] * TAMANO for _ in range(TAMANO)]
    # 7 celdas de 4 píxeles con líneas de 1 píxel: 7 × 4 + 8 = 36 > 32, así que las celdas son
    # de 3 píxeles y la rejilla ocupa 7 × 3 + 8 = 29, centrada con un margen de 1 y 2.
    origen, lado = 1, 3
    ancho = CELDAS * (lado + 1) + 1
    for fila in range(CELDAS):
        for columna in range(CELDAS):
            h = altura(columna + 0.5, fila + 0.5)
            tinta = TINTAS[min(len(TINTAS) - 1, int(h * len(TINTAS)))]
            x0 = origen + 1 + columna * (lado + 1)
            y0 = origen + 1 + fila * (lado + 1)
            for y in range(y0, y0 + lado):
                for x in range(x0, x0 + lado):
                    imagen[y][x] = tinta
    for i in range(CELDAS + 1):
        p = origen + i * (lado + 1)
        for q in range(origen, origen + ancho):
            imagen[p][q] = 2
            imagen[q][p] = 2
    for q in range(origen, origen + ancho):
        for p in (origen, origen + ancho - 1):
            imagen[p][q] = 1
            imagen[q][p] = 1
    # Una barra de progreso al pie, como la de la ventana.
    for x in range(origen, origen + ancho):
        imagen[TAMANO - 2][x] = 11 if x < origen + 2 * ancho // 3 else 2
    return imagen


def png(imagen):
    def trozo(tipo, datos):
        return (struct.pack(">I", len(datos)) + tipo + datos +
                struct.pack(">I", zlib.crc32(tipo + datos) & 0xFFFFFFFF))

    filas = b""
    for fila in imagen:
        filas += b"\0" + bytes((fila[i] << 4) | fila[i + 1] for i in range(0, TAMANO, 2))
    return (b"\x89PNG\r\n\x1a\n" +
            trozo(b"IHDR", struct.pack(">IIBBBBB", TAMANO, TAMANO, 4, 3, 0, 0, 0)) +
            trozo(b"PLTE", b"".join(bytes(c) for c in PALETA)) +
            trozo(b"tRNS", b"\0") +
            trozo(b"IDAT", zlib.compress(filas, 9)) +
            trozo(b"IEND", b""))


if __name__ == "__main__":
    salida = sys.argv[1] if len(sys.argv) > 1 else "tesmalo.png"
    with open(salida, "wb") as fichero:
        fichero.write(png(pixeles()))
