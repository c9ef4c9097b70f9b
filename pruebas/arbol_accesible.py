#!/usr/bin/python3
"""Escribe el árbol de accesibilidad (AT-SPI) de las ventanas de un programa, como lo lee un
lector de pantalla: una línea por elemento, sangrada según su profundidad, con su papel, su
nombre entre «», y, si los tiene, su descripción, su valor, su texto y su sitio en la pantalla
(izquierda, arriba, ancho y alto en píxeles); un salto de línea en un texto se escribe \\n:

    push button «Seleccionar fichero origen» @8,184,272x37
    text «COLUMNAS» texto=«3» @184,64,72x32

Con --estado escribe sólo el elemento que tiene el foco, tras «foco: », y cada botón hundido (el
que un atajo o un clic ha pulsado y aún no ha soltado), tras «hundido: ».

Uso: arbol_accesible.py [--estado] PID [ESPERA]
PID es el número del proceso del programa. Espera hasta ESPERA segundos (5 si no se da) a que
aparezca en el registro de AT-SPI con alguna ventana; sale con 1 si no aparece.
"""
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402


def aplicacion(pid):
    escritorio = Atspi.get_desktop(0)
    for i in range(escritorio.get_child_count()):
        app = escritorio.get_child_at_index(i)
        try:
            if app is not None and app.get_process_id() == pid and app.get_child_count() > 0:
                return app
        except GLib.Error:
            pass  # una aplicación que ya se fue
    return None


def una_linea(texto):
    """El texto en una sola línea: cada salto de línea se escribe como \\n."""
    return (texto or "").replace("\n", "\\n")


def linea(nodo):
    partes = [nodo.get_role_name(), "«%s»" % una_linea(nodo.get_name())]
    descripcion = nodo.get_description()
    if descripcion:
        partes.append("descripción=«%s»" % una_linea(descripcion))
    interfaces = nodo.get_interfaces()
    if "Value" in interfaces:
        partes.append("valor=%g [%g..%g]" % (Atspi.Value.get_current_value(nodo),
                                             Atspi.Value.get_minimum_value(nodo),
                                             Atspi.Value.get_maximum_value(nodo)))
    if "Text" in interfaces:
        largo = Atspi.Text.get_character_count(nodo)
        partes.append("texto=«%s»" % una_linea(Atspi.Text.get_text(nodo, 0, largo)))
    if "Component" in interfaces:
        sitio = Atspi.Component.get_extents(nodo, Atspi.CoordType.SCREEN)
        partes.append("@%d,%d,%dx%d" % (sitio.x, sitio.y, sitio.width, sitio.height))
    return " ".join(partes)


def escribir(nodo, nivel):
    print("  " * nivel + linea(nodo))
    for i in range(nodo.get_child_count()):
        hijo = nodo.get_child_at_index(i)
        if hijo is not None:
            escribir(hijo, nivel + 1)


def estado(nodo):
    estados = nodo.get_state_set()
    if estados.contains(Atspi.StateType.FOCUSED):
        print("foco: " + linea(nodo))
    if estados.contains(Atspi.StateType.PRESSED):
        print("hundido: " + linea(nodo))
    for i in range(nodo.get_child_count()):
        hijo = nodo.get_child_at_index(i)
        if hijo is not None:
            estado(hijo)


def main():
    argumentos = sys.argv[1:]
    solo_estado = argumentos[:1] == ["--estado"]
    if solo_estado:
        argumentos = argumentos[1:]
    pid = int(argumentos[0])
    espera = float(argumentos[1]) if len(argumentos) > 1 else 5.0
    limite = time.monotonic() + espera
    app = aplicacion(pid)
    while app is None and time.monotonic() < limite:
        time.sleep(0.1)
        app = aplicacion(pid)
    if app is None:
        print("el proceso %d no está en el registro de accesibilidad" % pid, file=sys.stderr)
        return 1
    if solo_estado:
        estado(app)
    else:
        escribir(app, 0)
    return 0


if __name__ == "__main__":
    sys.exit(main())
