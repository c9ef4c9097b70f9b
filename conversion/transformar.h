// La conversión: lee la rejilla de origen de principio a fin y escribe la de destino con la
// cabecera reescrita de seis líneas y una fila de la rejilla por línea.
#pragma once

#include <QString>
#include <functional>

namespace tesmalo {

// Las tres operaciones de progreso que pone quien llama. La conversión las llama en este
// orden: Indicar_inicio una vez, Indicar_progreso con 0, Indicar_progreso tras cada fila
// escrita (con los valores colocados hasta entonces divididos por Lng_Soncolumn × Lng_Sonfila;
// la fracción no se limita a [0, 1]) e Indicar_fin una vez, cuando todo está escrito. Después
// sólo queda llevar el fichero a disco y darle su nombre, que aún puede fallar (y entonces no
// queda destino, como en cualquier otro fallo).
// Una operación puede lanzar una excepción para detener la conversión (por ejemplo, porque el
// usuario cerró la ventana): la excepción sale de Transfromar_cab y no queda fichero de destino.
struct Operaciones_progreso {
    std::function<void()> Indicar_inicio;
    std::function<void(double)> Indicar_progreso;
    std::function<void()> Indicar_fin;
};

// Lo que hizo una conversión terminada, para que quien llama avise de una rejilla que no
// cuadra con su cabecera: con más filas de las que anuncia o con valores de sobra (con menos,
// la conversión falla).
struct Resumen_conversion {
    qint32 columnas_cabecera = 0;  // de la línea 1 del origen: valores por fila
    qint32 filas_cabecera = 0;     // de la línea 2 del origen: filas por bloque
    qint64 filas_escritas = 0;
    qint64 valores_colocados = 0;    // valores escritos en filas completas
    qint64 valores_descartados = 0;  // sobrantes al final de un bloque y los de una fila incompleta

    // Verdadero si las filas escritas no son las de la cabecera o se descartó algún valor.
    bool No_cuadra() const { return filas_escritas != filas_cabecera || valores_descartados != 0; }
};

// Convierte Ruta_origen en Ruta_destino.
//
// Int_filesCap líneas del principio son cabecera; de ellas salen las seis líneas de la cabecera
// de destino, el número de columnas C (línea 1) y el de filas R (línea 2). Después los valores,
// separados por espacios y repartidos en líneas de cualquier manera, se reparten en filas de C
// valores por bloques de R filas; los sobrantes al final de un bloque se descartan con el resto
// de su línea, y una fila a medias al acabar el origen no se escribe. Si los valores se acaban
// antes de llenar las R filas del primer bloque (una rejilla cortada, o una cabecera que anuncia
// más de las que hay), la conversión falla, sin dejar destino, con un mensaje que dice las filas
// enteras, los valores de la que quedó a medias, las que anuncia la cabecera y la línea en que se
// acaban los valores; una R de 0 o negativa no anuncia ninguna (da bloques de una fila). Las
// líneas en blanco entre los valores no aportan ninguno. Los valores se copian como bytes, sin
// cambios. Las líneas del origen acaban en LF, CRLF o CR; las del destino, en CRLF.
//
// El sistema resuelve la ruta del destino una vez (enlaces incluidos). Un fichero normal se
// escribe en un temporal de la carpeta resuelta que sólo toma su nombre al terminar, con los
// permisos, la ACL, los atributos extendidos y (como root) el dueño del que reemplaza, sin dar
// nunca más acceso que él: una conversión que falla o se interrumpe no deja fichero de destino
// ni temporal y no toca el que ya hubiera. Una carpeta que no deja crear y renombrar ficheros
// se rechaza antes de leer los valores. Un dispositivo de
// caracteres o una tubería con nombre se escribe en su sitio, como un flujo; cualquier otra
// cosa (una carpeta, un zócalo) se rechaza antes de leer los valores. Un destino que es el
// propio origen se rechaza antes de escribir nada.
//
// Si el origen tiene al lado su sistema de coordenadas (su .prj: Ruta_prj_origen), sus bytes se
// escriben al lado del destino, con su nombre (Ruta_prj_destino), en el mismo guardado: los dos
// ficheros toman su nombre juntos, y un fallo o una interrupción no deja ninguno de los dos
// nuevos y no toca los que había. Un origen sin .prj no escribe ninguno y deja el que tuviera el
// destino; un destino que es un flujo, o la entrada estándar como origen, no lleva .prj.
//
// Lng_Soncolumn y Lng_Sonfila sólo escalan la fracción de progreso; su producto (de 64 bits)
// no puede ser 0.
//
// Los errores salen como std::runtime_error con un mensaje en español que dice qué fichero,
// qué línea, qué fallaba y, en los de entrada y salida, la razón del sistema.
Resumen_conversion Transfromar_cab(qint32 Int_filesCap, qint32 Lng_Soncolumn, qint32 Lng_Sonfila,
                                   const QString& Ruta_origen, const QString& Ruta_destino,
                                   const Operaciones_progreso& progreso);

class Lector_origen;

// Lo mismo con el origen ya abierto, desde la línea en que esté (la primera, si no se ha leído
// nada, o tras Volver_al_principio); los mensajes lo nombran con su ruta. Como en las órdenes
// de la línea de órdenes, el destino «-» es la salida estándar, que se escribe como un flujo
// por su descriptor, tal como está abierta. Un flujo que se queda sin lector da un error que
// lleva anidado un std::system_error con EPIPE.
Resumen_conversion Transfromar_cab(qint32 Int_filesCap, qint32 Lng_Soncolumn, qint32 Lng_Sonfila,
                                   Lector_origen& origen, const QString& Ruta_destino,
                                   const Operaciones_progreso& progreso);

}  // namespace tesmalo
